#include "HttpTestRuntime.h"

#include <filesystem>

#include "Http/HttpChannels.h"
#include "Runtime/MainThread.h"

namespace {

void CALLBACK WakeTimer(HWND, UINT, UINT_PTR, DWORD) {}

}  // namespace

void HttpTestRuntime::SetUp() {
  prefix_ = std::make_unique<TempPrefix>();
  served_ = prefix_->Root() + "/served";
  std::filesystem::create_directories(served_);
  std::filesystem::create_directories(prefix_->Host("drive_c/work"));
  server_ = std::make_unique<PublisherServer>(served_);
  InitMainThreadDispatch();
  timer_ = SetTimer(nullptr, kHttpTimerId, kHttpTimerPeriodMs, HttpTimerProc);
  InitCommandChannel();
  InitDownloadChannel();
}

void HttpTestRuntime::TearDown() {
  ShutdownCommandChannel();
  ShutdownDownloadChannel();
  if (timer_) KillTimer(nullptr, timer_);
  // Events still queued refer to deleted listeners and are dropped when they run.
  PumpFor(20);
  server_.reset();
  prefix_.reset();
}

void HttpTestRuntime::StopSchedulerTimer() {
  if (timer_) KillTimer(nullptr, timer_);
  timer_ = 0;
}

bool HttpTestRuntime::PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  UINT_PTR wake = SetTimer(nullptr, 0, 10, WakeTimer);
  DWORD start = GetTickCount();
  while (!done() && GetTickCount() - start < timeoutMs) {
    MSG message;
    if (GetMessageW(&message, nullptr, 0, 0) <= 0) break;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  KillTimer(nullptr, wake);
  return done();
}

void HttpTestRuntime::PumpFor(DWORD ms) {
  DWORD start = GetTickCount();
  PumpUntil([&] { return GetTickCount() - start >= ms; }, ms + 1000);
}

std::string HttpTestRuntime::LocalHostPath(const std::string& name) const {
  return prefix_->Host("drive_c/work/" + name);
}

std::wstring HttpTestRuntime::LocalPath(const std::string& name) const {
  return L"C:\\work\\" + std::wstring(name.begin(), name.end());
}
