#pragma once

#include <cstdint>

// Time services behind a replaceable clock, so that estimates and time stamps can be tested.
namespace salvora::platform {

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint64_t TickMs() = 0;       // monotonic milliseconds
  virtual LocalTime Now() = 0;         // local wall-clock time
};

// The clock in use (the system clock unless a test installed another).
Clock& CurrentClock();
// Installs a clock (nullptr restores the system clock). The caller keeps ownership.
void SetClock(Clock* clock);

inline uint64_t TickMs() { return CurrentClock().TickMs(); }
inline LocalTime Now() { return CurrentClock().Now(); }

// FILETIME (100-ns ticks since 1601-01-01 UTC) for a Unix time in seconds.
uint64_t UnixToFileTime(int64_t unixSeconds);
int64_t FileTimeToUnix(uint64_t fileTime);

}  // namespace salvora::platform
