#include "app/FormatFileTime.h"

#include <cstdio>
#include <ctime>

#include "platform/Clock.h"

namespace salvora::app {

std::string FormatFileTime(uint64_t fileTime) {
  const std::time_t seconds = static_cast<std::time_t>(platform::FileTimeToUnix(fileTime));
  std::tm parts{};
  if (!::gmtime_r(&seconds, &parts)) return {};
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", parts.tm_year + 1900, parts.tm_mon + 1,
                parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
  return text;
}

}  // namespace salvora::app
