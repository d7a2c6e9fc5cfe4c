#include "platform/CalendarTime.h"

namespace salvora::platform {

bool UtcCalendar(int64_t unixSeconds, std::tm& calendar) {
  const time_t t = time_t(unixSeconds);
  return ::gmtime_r(&t, &calendar) != nullptr;
}

bool LocalCalendar(int64_t unixSeconds, std::tm& calendar) {
  const time_t t = time_t(unixSeconds);
  return ::localtime_r(&t, &calendar) != nullptr;
}

int64_t UtcSeconds(std::tm calendar) { return int64_t(::timegm(&calendar)); }

}  // namespace salvora::platform
