// The timers of one thread: window timers (a window and the id the caller chose) and
// thread timers (no window, an id the system chose). A due timer yields WM_TIMER only when
// nothing else is waiting; retrieving it schedules its next period from now, so a late
// loop never receives a burst of ticks.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "internal/clock.h"

namespace kvplat {

struct MessageFilter;

class TimerList {
 public:
  // Starts or restarts a timer; returns the id (chosen here for thread timers whose id is
  // not one of this thread's live thread timers).
  UINT_PTR Set(HWND window, UINT_PTR id, UINT periodMs, TIMERPROC proc);
  bool Kill(HWND window, UINT_PTR id);
  void KillWindowTimers(HWND window);
  // True when a live timer matches exactly, so that a WM_TIMER naming it may call `proc`.
  bool IsLive(HWND window, UINT_PTR id, TIMERPROC proc) const;

  // The due timer that fires first and matches the filter, as a WM_TIMER; with `remove`
  // its next period starts now.
  std::optional<MSG> TakeDue(int64_t now, const MessageFilter& filter, bool remove);
  // When the next timer the filter lets through falls due, or nothing when there is none
  // (a wait for other messages must not wake for timers it cannot return).
  std::optional<int64_t> NextDue(const MessageFilter& filter) const;

 private:
  struct Timer {
    HWND window;
    UINT_PTR id;
    int64_t periodNanos;
    TIMERPROC proc;
    int64_t due;
  };
  static MSG MessageOf(const Timer& timer);

  std::vector<Timer> timers_;
  UINT_PTR nextThreadTimerId_ = 1;
};

}  // namespace kvplat
