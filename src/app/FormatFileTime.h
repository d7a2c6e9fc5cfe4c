#pragma once

#include <cstdint>
#include <string>

namespace salvora::app {

// "%d-%d-%d %02d:%02d:%02d" of a FILETIME as calendar time, without conversion to local time:
// the seventh of March 2015 at 9:05 reads 2015-3-7 09:05:00.
std::string FormatFileTime(uint64_t fileTime);

}  // namespace salvora::app
