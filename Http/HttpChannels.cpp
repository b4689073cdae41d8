#include "Http/HttpChannels.h"

#include "Http/CurlWorkshop.h"
#include "Http/HttpMgr.h"

namespace {

struct Channel {
  CCurlWorkshop* workshop = nullptr;
  CHttpMgr* manager = nullptr;
};

Channel g_command;
Channel g_download;
unsigned int g_timerTicks = 0;

bool InitChannel(Channel& channel) {
  if (!channel.workshop) {
    channel.workshop = new CCurlWorkshop();
    channel.workshop->Init();
    channel.workshop->StartThread();
  }
  if (!channel.manager) channel.manager = new CHttpMgr();
  return true;
}

bool ShutdownChannel(Channel& channel) {
  if (channel.workshop) {
    channel.workshop->StopThread(INFINITE);
    channel.workshop->Cleanup();
  }
  if (channel.manager) channel.manager->DetachAll();
  CHttpBase::UnbindChannel(channel.manager, channel.workshop);
  delete channel.workshop;
  channel.workshop = nullptr;
  delete channel.manager;
  channel.manager = nullptr;
  return true;
}

}  // namespace

bool InitCommandChannel() { return InitChannel(g_command); }
bool InitDownloadChannel() { return InitChannel(g_download); }
bool ShutdownCommandChannel() { return ShutdownChannel(g_command); }
bool ShutdownDownloadChannel() { return ShutdownChannel(g_download); }

CCurlWorkshop* CommandWorkshop() { return g_command.workshop; }
CHttpMgr* CommandManager() { return g_command.manager; }
CCurlWorkshop* DownloadWorkshop() { return g_download.workshop; }
CHttpMgr* DownloadManager() { return g_download.manager; }

void ProgressTick() {
  if (g_download.manager) g_download.manager->ProgressTick();
}

void RetryTick(CHttpMgr* manager) {
  if (manager) manager->RetryTick();
}

void CALLBACK HttpTimerProc(HWND, UINT, UINT_PTR, DWORD) {
  if (g_timerTicks % 2 == 0) ProgressTick();
  RetryTick(g_download.manager);
  RetryTick(g_command.manager);
  ++g_timerTicks;
}
