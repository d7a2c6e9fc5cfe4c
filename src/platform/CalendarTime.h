#pragma once

#include <cstdint>
#include <ctime>

// Converting between Unix seconds and the UTC calendar, thread-safe.
namespace salvora::platform {

// False when the time cannot be expressed.
bool UtcCalendar(int64_t unixSeconds, std::tm& calendar);
// The same in the local time zone.
bool LocalCalendar(int64_t unixSeconds, std::tm& calendar);
// The Unix seconds of a UTC calendar time (fields out of range are carried over).
int64_t UtcSeconds(std::tm calendar);

}  // namespace salvora::platform
