#include "support/TestRuntime.h"

#include <windows.h>

#include "Http/HttpChannels.h"
#include "Runtime/MainThread.h"
#include "support/MessagePump.h"

namespace {

UINT_PTR g_httpTimer = 0;

}  // namespace

void StartTestRuntime() {
  InitMainThreadDispatch();
  g_httpTimer = SetTimer(nullptr, kHttpTimerId, kHttpTimerPeriodMs, HttpTimerProc);
  InitCommandChannel();
  InitDownloadChannel();
}

void StopSchedulerTimer() {
  if (g_httpTimer) KillTimer(nullptr, g_httpTimer);
  g_httpTimer = 0;
}

void StopTestRuntime() {
  ShutdownCommandChannel();
  ShutdownDownloadChannel();
  StopSchedulerTimer();
  // Events still queued refer to deleted listeners and are dropped when they run.
  PumpMessagesFor(20);
  ShutdownMainThreadDispatch();
}
