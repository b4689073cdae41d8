// The clocks the platform's areas share: the monotonic clock that tick counts, the
// performance counter and timers run on, and the conversion of host times to FILETIME.
#pragma once

#include <time.h>

#include <windows.h>

#include <cstdint>

namespace kvplat {

// Nanoseconds of the monotonic clock.
int64_t MonotonicNowNanos();

// A host time (seconds and nanoseconds since 1970) as 100 ns intervals since 1601.
FILETIME FileTimeFromTimespec(const timespec& time);

}  // namespace kvplat
