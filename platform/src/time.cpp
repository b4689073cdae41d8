// Tick count, performance counter, system and local time, timer resolution.
#include <time.h>

#include <atomic>
#include <windows.h>

#include "internal/clock.h"

namespace {

constexpr int64_t kNanosPerSecond = 1000000000;
// 100 ns intervals between 1601-01-01 and 1970-01-01.
constexpr uint64_t kFileTimeUnixEpoch = 116444736000000000ull;

std::atomic<int> timerPeriodRequests{0};

}  // namespace

namespace kvplat {

int64_t MonotonicNowNanos() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * kNanosPerSecond + ts.tv_nsec;
}

FILETIME FileTimeFromTimespec(const timespec& time) {
  uint64_t ticks = kFileTimeUnixEpoch + static_cast<uint64_t>(time.tv_sec) * 10000000ull +
                   static_cast<uint64_t>(time.tv_nsec) / 100;
  return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

}  // namespace kvplat

DWORD GetTickCount() { return static_cast<DWORD>(GetTickCount64()); }

ULONGLONG GetTickCount64() { return static_cast<ULONGLONG>(kvplat::MonotonicNowNanos() / 1000000); }

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
  frequency->QuadPart = kNanosPerSecond;
  return TRUE;
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
  count->QuadPart = kvplat::MonotonicNowNanos();
  return TRUE;
}

void GetSystemTimeAsFileTime(LPFILETIME systemTime) {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  *systemTime = kvplat::FileTimeFromTimespec(ts);
}

void GetLocalTime(LPSYSTEMTIME localTime) {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm parts{};
  localtime_r(&ts.tv_sec, &parts);
  localTime->wYear = static_cast<WORD>(parts.tm_year + 1900);
  localTime->wMonth = static_cast<WORD>(parts.tm_mon + 1);
  localTime->wDayOfWeek = static_cast<WORD>(parts.tm_wday);
  localTime->wDay = static_cast<WORD>(parts.tm_mday);
  localTime->wHour = static_cast<WORD>(parts.tm_hour);
  localTime->wMinute = static_cast<WORD>(parts.tm_min);
  localTime->wSecond = static_cast<WORD>(parts.tm_sec);
  localTime->wMilliseconds = static_cast<WORD>(ts.tv_nsec / 1000000);
}

// Linux timers already have sub-millisecond resolution; the requests are only counted so
// that every begin can be matched by its end.
MMRESULT timeBeginPeriod(UINT periodMs) {
  if (periodMs == 0) return TIMERR_NOCANDO;
  timerPeriodRequests.fetch_add(1);
  return TIMERR_NOERROR;
}

MMRESULT timeEndPeriod(UINT periodMs) {
  if (periodMs == 0) return TIMERR_NOCANDO;
  timerPeriodRequests.fetch_sub(1);
  return TIMERR_NOERROR;
}
