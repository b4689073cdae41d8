// A monotonic clock in seconds that follows the system time: the high-resolution
// counter measures elapsed time from a calibration against the system time, and the
// calibration is renewed when counter, tick count and system time drift apart.
#pragma once

#include <windows.h>

// Where the clock reads time; tests inject their own.
class IClockSource {
 public:
  virtual ~IClockSource() = default;
  // Milliseconds since 1970-01-01 from the system time.
  virtual double WallMilliseconds() = 0;
  // The counter's frequency in counts per second; false when there is no counter.
  virtual bool CounterFrequency(LONGLONG* frequency) = 0;
  virtual LONGLONG Counter() = 0;
  virtual DWORD TickCount() = 0;
  // Bracket the calibration's system-time reading with a 1 ms timer resolution.
  virtual void BeginFineResolution() = 0;
  virtual void EndFineResolution() = 0;
};

// The Windows services: GetSystemTimeAsFileTime, QueryPerformanceCounter/Frequency,
// GetTickCount, timeBeginPeriod/timeEndPeriod.
IClockSource& SystemClockSource();

// Not thread-safe by itself; MonotonicSeconds guards the process-wide instance.
class CMonotonicClock {
 public:
  explicit CMonotonicClock(IClockSource& source) : source_(source) {}

  // Seconds; never less than the previous result.
  double Seconds();

 private:
  double CounterMilliseconds();
  double CalibratedMilliseconds(double wall, double counter);
  double NeverBackwards(double milliseconds, double counter);

  IClockSource& source_;
  bool frequencyChecked_ = false;
  double millisecondsPerCount_ = 0;  // 0: no counter
  // Drift check of the counter against the tick count.
  bool havePreviousReading_ = false;
  double previousCounter_ = 0;
  DWORD previousTick_ = 0;
  // Calibration.
  bool calibrated_ = false;
  bool stale_ = false;
  double baseWall_ = 0;
  double baseCounter_ = 0;
  bool haveAccepted_ = false;
  double lastAccepted_ = 0;
  // Results.
  bool haveResult_ = false;
  double lastResult_ = 0;
  double lastResultCounter_ = 0;
};
