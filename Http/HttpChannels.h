// The two process-wide HTTP channels, each a transfer workshop with its manager: one for
// commands (small requests such as the manifest), one for file downloads, so that a long
// download never delays a command. Main thread only.
#pragma once

#include <windows.h>

class CCurlWorkshop;
class CHttpMgr;

// Create the channel's workshop (started) and manager when they do not exist; true.
bool InitCommandChannel();
bool InitDownloadChannel();
// Stop and join the worker, release its transfers, unbind the tasks, delete both; true.
bool ShutdownCommandChannel();
bool ShutdownDownloadChannel();

// The channel objects; null while the channel does not exist.
CCurlWorkshop* CommandWorkshop();
CHttpMgr* CommandManager();
CCurlWorkshop* DownloadWorkshop();
CHttpMgr* DownloadManager();

// Period of the scheduler timer, and the identifier its creator asks for.
constexpr UINT kHttpTimerPeriodMs = 500;
constexpr UINT_PTR kHttpTimerId = 100;

// The scheduler timer's procedure: progress of running downloads once a second (every
// second tick, starting with the first), then the retry release of both channels.
void CALLBACK HttpTimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);
// One progress report of every running download.
void ProgressTick();
// Releases the tasks of `manager` whose retry delay has passed.
void RetryTick(CHttpMgr* manager);
