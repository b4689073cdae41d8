// Timers with and without a window: SetTimer, KillTimer and the per-thread timer list
// the message queue draws WM_TIMER from.
#include <algorithm>

#include "internal/msgqueue.h"
#include "internal/windowrecord.h"

namespace kvplat {
namespace {

constexpr int64_t kNanosPerMilli = 1000000;
// Ids the system hands out for thread timers start here, away from the small numbers
// programs choose for window timers.
constexpr UINT_PTR kFirstThreadTimerId = 0x7000;

int64_t PeriodNanos(UINT periodMs) {
  UINT clamped = std::clamp<UINT>(periodMs, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
  return static_cast<int64_t>(clamped) * kNanosPerMilli;
}

}  // namespace

UINT_PTR TimerList::Set(HWND window, UINT_PTR id, UINT periodMs, TIMERPROC proc) {
  auto it = std::find_if(timers_.begin(), timers_.end(), [&](const Timer& timer) {
    return timer.window == window && timer.id == id && (window || id != 0);
  });
  int64_t period = PeriodNanos(periodMs);
  if (it != timers_.end()) {
    it->periodNanos = period;
    it->proc = proc;
    it->due = MonotonicNowNanos() + period;
    return window && id == 0 ? 1 : id;
  }
  if (!window) {
    // A thread timer gets a fresh id unless it restarts a live one (handled above).
    if (nextThreadTimerId_ < kFirstThreadTimerId) nextThreadTimerId_ = kFirstThreadTimerId;
    auto inUse = [this](UINT_PTR candidate) {
      return std::any_of(timers_.begin(), timers_.end(), [&](const Timer& timer) {
        return !timer.window && timer.id == candidate;
      });
    };
    while (nextThreadTimerId_ == 0 || inUse(nextThreadTimerId_)) ++nextThreadTimerId_;
    id = nextThreadTimerId_++;
  }
  timers_.push_back({window, id, period, proc, MonotonicNowNanos() + period});
  return window && id == 0 ? 1 : id;
}

bool TimerList::Kill(HWND window, UINT_PTR id) {
  auto it = std::find_if(timers_.begin(), timers_.end(), [&](const Timer& timer) {
    return timer.window == window && timer.id == id;
  });
  if (it == timers_.end()) return false;
  timers_.erase(it);
  return true;
}

void TimerList::KillWindowTimers(HWND window) {
  std::erase_if(timers_, [&](const Timer& timer) { return timer.window == window; });
}

bool TimerList::IsLive(HWND window, UINT_PTR id, TIMERPROC proc) const {
  return std::any_of(timers_.begin(), timers_.end(), [&](const Timer& timer) {
    return timer.window == window && timer.id == id && timer.proc == proc;
  });
}

MSG TimerList::MessageOf(const Timer& timer) {
  return MSG{timer.window, WM_TIMER, timer.id, reinterpret_cast<LPARAM>(timer.proc), 0, {}};
}

std::optional<MSG> TimerList::TakeDue(int64_t now, const MessageFilter& filter, bool remove) {
  Timer* first = nullptr;
  for (auto& timer : timers_) {
    if (timer.due > now || !filter.Matches(MessageOf(timer))) continue;
    if (!first || timer.due < first->due) first = &timer;
  }
  if (!first) return std::nullopt;
  MSG msg = MessageOf(*first);
  msg.time = static_cast<DWORD>(now / kNanosPerMilli);
  if (remove) first->due = now + first->periodNanos;
  return msg;
}

std::optional<int64_t> TimerList::NextDue(const MessageFilter& filter) const {
  std::optional<int64_t> next;
  for (const auto& timer : timers_) {
    if (!filter.Matches(MessageOf(timer))) continue;
    if (!next || timer.due < *next) next = timer.due;
  }
  return next;
}

}  // namespace kvplat

// A window timer must belong to a window of the calling thread; a thread timer belongs to
// the calling thread. The first WM_TIMER comes one period after the call.
UINT_PTR SetTimer(HWND window, UINT_PTR idEvent, UINT elapse, TIMERPROC timerFunc) {
  if (window) {
    auto record = kvplat::LookupWindow(window);
    if (!record) return 0;
    if (record->threadId != GetCurrentThreadId()) {
      SetLastError(ERROR_ACCESS_DENIED);
      return 0;
    }
  }
  return kvplat::ThreadQueue::Current()->Timers().Set(window, idEvent, elapse, timerFunc);
}

BOOL KillTimer(HWND window, UINT_PTR idEvent) {
  if (window && !kvplat::LookupWindow(window)) return FALSE;
  if (!kvplat::ThreadQueue::Current()->Timers().Kill(window, idEvent)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}
