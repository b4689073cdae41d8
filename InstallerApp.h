// The process-wide record of the installer and its start and stop: the runtime the main
// window needs (keep-alive timer, main-thread dispatch, the HTTP channels), the message
// loop, and the shutdown order after it.
#pragma once

#include <windows.h>

#include <string>

class CMainDlg;

struct InstallerApp {
  CMainDlg* mainWindow = nullptr;  // set by StartRuntime, cleared by StopRuntime
  UINT_PTR keepAliveTimer = 0;     // the 1000 ms thread timer; 0 when none
  WORD gameId = 0;                 // from the command line; 0 when none was given
};

// The one record, created on first use.
InstallerApp& TheInstallerApp();

// The game identifier of a command line as the C runtime's _wtoi reads it (leading white
// space, an optional sign, the digits up to the first non-digit; no digits give 0),
// truncated to 16 bits.
WORD ParseGameId(const std::wstring& commandLine);

// Start-up before the main window exists: the common controls, then the game
// identifier when the command line is not empty.
void PrepareInstaller(InstallerApp& app, const std::wstring& commandLine);

// Keep-alive timer, main-thread dispatch (once per process), the HTTP scheduler timer and
// the command and download channels. True.
bool StartRuntime(InstallerApp& app, CMainDlg* mainWindow);
// The reverse; the dispatch drops its queued tasks before the channels shut down. True.
bool StopRuntime(InstallerApp& app);

// COM, then OLE, then COM again; false when that last call fails, in which case the
// program skips the loop and the shutdown steps and ends with exit code 0.
bool InitializeCom();

// The outermost message loop; returns the wParam of the WM_QUIT that ended it.
WPARAM RunMessageLoop();

// After the loop: close the skin archive, stop the runtime, uninitialise OLE.
void ShutdownInstaller(InstallerApp& app);
