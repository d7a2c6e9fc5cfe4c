#include "platform/CalendarTime.h"

namespace salvora::platform {

bool UtcCalendar(int64_t unixSeconds, std::tm& calendar) {
  const __time64_t t = unixSeconds;
  return _gmtime64_s(&calendar, &t) == 0;
}

bool LocalCalendar(int64_t unixSeconds, std::tm& calendar) {
  const __time64_t t = unixSeconds;
  return _localtime64_s(&calendar, &t) == 0;
}

int64_t UtcSeconds(std::tm calendar) { return int64_t(_mkgmtime64(&calendar)); }

}  // namespace salvora::platform
