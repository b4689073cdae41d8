#include "Runtime/MonotonicClock.h"

#include <algorithm>
#include <cmath>

namespace {

// 100 ns intervals between 1601-01-01 and 1970-01-01.
constexpr double kFileTimeUnixEpoch = 116444736000000000.0;
// Counter and tick count may disagree this much before the calibration is renewed.
constexpr double kTickDriftMs = 500;
// Elapsed counter time and elapsed system time may disagree this much.
constexpr double kWallDriftMs = 31.25;
// A recalibrated value this far below the last one is a real step of the system time.
constexpr double kBackStepMs = 2000;

class CSystemClockSource : public IClockSource {
 public:
  double WallMilliseconds() override {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    double ticks = static_cast<double>((static_cast<ULONGLONG>(now.dwHighDateTime) << 32) |
                                       now.dwLowDateTime);
    return (ticks - kFileTimeUnixEpoch) / 10000.0;
  }
  bool CounterFrequency(LONGLONG* frequency) override {
    LARGE_INTEGER value{};
    if (!QueryPerformanceFrequency(&value)) return false;
    *frequency = value.QuadPart;
    return true;
  }
  LONGLONG Counter() override {
    LARGE_INTEGER value{};
    QueryPerformanceCounter(&value);
    return value.QuadPart;
  }
  DWORD TickCount() override { return GetTickCount(); }
  void BeginFineResolution() override { timeBeginPeriod(1); }
  void EndFineResolution() override { timeEndPeriod(1); }
};

}  // namespace

IClockSource& SystemClockSource() {
  static CSystemClockSource source;
  return source;
}

double CMonotonicClock::Seconds() {
  double wall = source_.WallMilliseconds();
  if (!frequencyChecked_) {
    frequencyChecked_ = true;
    LONGLONG frequency = 0;
    if (source_.CounterFrequency(&frequency) && frequency > 0) {
      millisecondsPerCount_ = 1000.0 / static_cast<double>(frequency);
    }
  }
  if (millisecondsPerCount_ == 0) return NeverBackwards(wall, 0) / 1000.0;
  double counter = CounterMilliseconds();
  return NeverBackwards(CalibratedMilliseconds(wall, counter), counter) / 1000.0;
}

// The counter in milliseconds; a counter that runs apart from the tick count makes the
// calibration stale.
double CMonotonicClock::CounterMilliseconds() {
  double counter = static_cast<double>(source_.Counter()) * millisecondsPerCount_;
  DWORD tick = source_.TickCount();
  if (havePreviousReading_) {
    double tickAdvance = static_cast<double>(static_cast<DWORD>(tick - previousTick_));
    if (std::fabs((counter - previousCounter_) - tickAdvance) > kTickDriftMs) stale_ = true;
  }
  havePreviousReading_ = true;
  previousCounter_ = counter;
  previousTick_ = tick;
  return counter;
}

double CMonotonicClock::CalibratedMilliseconds(double wall, double counter) {
  double wallReading = wall;
  if (!calibrated_ || stale_) {
    source_.BeginFineResolution();
    baseWall_ = source_.WallMilliseconds();
    source_.EndFineResolution();
    counter = CounterMilliseconds();
    baseCounter_ = counter;
    wallReading = baseWall_;
    calibrated_ = true;
    stale_ = false;
  }
  double elapsed = counter - baseCounter_;
  if (std::fabs(elapsed - (wallReading - baseWall_)) > kWallDriftMs) stale_ = true;
  double candidate = baseWall_ + elapsed;
  // Small steps backwards (a recalibration's jitter) are held; large ones are real.
  if (!haveAccepted_ || candidate >= lastAccepted_ || candidate <= lastAccepted_ - kBackStepMs) {
    lastAccepted_ = candidate;
    haveAccepted_ = true;
  }
  return lastAccepted_;
}

// When the system time is set back, the result goes on from the previous one at the
// counter's pace instead of standing still until the system time has caught up (which
// would stop every elapsed-time measurement for as long as the clock was set back).
double CMonotonicClock::NeverBackwards(double milliseconds, double counter) {
  double value = milliseconds;
  if (haveResult_ && value < lastResult_) {
    value = lastResult_ + std::max(0.0, counter - lastResultCounter_);
  }
  haveResult_ = true;
  lastResult_ = value;
  lastResultCounter_ = counter;
  return value;
}
