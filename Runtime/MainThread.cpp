// The main-thread dispatch and the process-wide monotonic clock.
#include "Runtime/MainThread.h"

#include <deque>
#include <memory>

#include "Runtime/MonotonicClock.h"

namespace {

constexpr double kDrainBudgetSeconds = 0.05;

struct DispatchState {
  CLock lock;  // guards the queue only; always the innermost lock
  std::deque<DispatchEntry> queue;
  HWND window = nullptr;
  UINT message = 0;
};

DispatchState& Dispatch() {
  static DispatchState state;
  return state;
}

LRESULT CALLBACK DispatchWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != 0 && message == Dispatch().message) {
    DrainMainThreadQueue();
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void PostWakeUp(HWND window, UINT message) {
  if (window) PostMessageW(window, message, 0, 0);  // a failure leaves the tasks waiting
}

struct ClockState {
  CLock lock;
  std::unique_ptr<CMonotonicClock> clock = std::make_unique<CMonotonicClock>(SystemClockSource());
};

ClockState& Clock() {
  static ClockState state;
  return state;
}

}  // namespace

void InvokeTask(CRefPtr<MainThreadTaskBase>& task) { task->Run(); }

void InitMainThreadDispatch() {
  auto& state = Dispatch();
  HWND window;
  UINT message;
  bool waiting;
  {
    CAutoLock lock(&state.lock);
    if (state.window) return;
  }
  WNDCLASSW info{};
  info.lpfnWndProc = DispatchWindowProc;
  info.hInstance = GetModuleHandleW(nullptr);
  info.lpszClassName = L"ThreadingWindowClass";
  RegisterClassW(&info);  // fails harmlessly when already registered
  window = CreateWindowExW(0, L"ThreadingWindowClass", L"", 0, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, HWND_MESSAGE, nullptr, info.hInstance,
                           nullptr);
  message = RegisterWindowMessageW(L"com.kavro.MainThreadFired");
  {
    CAutoLock lock(&state.lock);
    state.window = window;
    state.message = message;
    waiting = !state.queue.empty();
  }
  // Tasks posted before the window existed had nobody to wake; without this wake-up
  // they (and every later task, since the queue never empties) would wait forever.
  if (waiting) PostWakeUp(window, message);
}

void PostToMainThread(MainThreadInvoke invoke, const CRefPtr<MainThreadTaskBase>& task) {
  auto& state = Dispatch();
  HWND window;
  UINT message;
  bool wasEmpty;
  {
    CAutoLock lock(&state.lock);
    wasEmpty = state.queue.empty();
    state.queue.push_back(DispatchEntry{invoke, task});
    window = state.window;
    message = state.message;
  }
  if (wasEmpty) PostWakeUp(window, message);
}

void DrainMainThreadQueue() {
  auto& state = Dispatch();
  double start = MonotonicSeconds();
  for (;;) {
    DispatchEntry entry;
    {
      CAutoLock lock(&state.lock);
      if (state.queue.empty()) return;
      entry = state.queue.front();
      state.queue.pop_front();
    }
    entry.invoke(entry.task);
    if (MonotonicSeconds() - start > kDrainBudgetSeconds) {
      HWND window;
      UINT message;
      {
        CAutoLock lock(&state.lock);
        window = state.window;
        message = state.message;
      }
      PostWakeUp(window, message);
      return;
    }
  }
}

// The dropped tasks are released after the lock is left: their destructors may take
// other locks, and the dispatch lock must stay the innermost one.
void ShutdownMainThreadDispatch() {
  auto& state = Dispatch();
  std::deque<DispatchEntry> dropped;
  HWND window;
  {
    CAutoLock lock(&state.lock);
    dropped.swap(state.queue);
    window = state.window;
    state.window = nullptr;
  }
  dropped.clear();
  if (window) DestroyWindow(window);
}

double MonotonicSeconds() {
  auto& state = Clock();
  CAutoLock lock(&state.lock);
  return state.clock->Seconds();
}

void SetMonotonicClockSource(IClockSource* source) {
  auto& state = Clock();
  CAutoLock lock(&state.lock);
  state.clock = std::make_unique<CMonotonicClock>(source ? *source : SystemClockSource());
}
