#include "platform/Clock.h"

#include "platform/CalendarTime.h"

#include <chrono>
#include <ctime>

namespace salvora::platform {
namespace {

class SystemClock : public Clock {
 public:
  uint64_t TickMs() override {
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  }
  LocalTime Now() override {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t t = system_clock::to_time_t(now);
    std::tm tm {};
    LocalCalendar(int64_t(t), tm);
    LocalTime lt;
    lt.year = tm.tm_year + 1900;
    lt.month = tm.tm_mon + 1;
    lt.day = tm.tm_mday;
    lt.hour = tm.tm_hour;
    lt.minute = tm.tm_min;
    lt.second = tm.tm_sec;
    lt.millisecond = int(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    return lt;
  }
};

SystemClock gSystemClock;
Clock* gClock = nullptr;

}  // namespace

Clock& CurrentClock() { return gClock ? *gClock : gSystemClock; }
void SetClock(Clock* clock) { gClock = clock; }

constexpr int64_t kEpochDelta = 11644473600LL;  // seconds from 1601 to 1970

uint64_t UnixToFileTime(int64_t unixSeconds) {
  return uint64_t(unixSeconds + kEpochDelta) * 10000000ULL;
}
int64_t FileTimeToUnix(uint64_t fileTime) { return int64_t(fileTime / 10000000ULL) - kEpochDelta; }

}  // namespace salvora::platform
