#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Clock.h"

// Scan-log names: an engine prefix (the fast engines share Fast_, carving has File_Type_, each
// sweep engine its own), the partition start sector, then the local year, month, day,
// hour and minute with no separators, only the minute space-padded to two characters
// ("Fast_2048_20261279 5" for 09:05 on 2026-12-07).
namespace salvora {

inline constexpr char kFastLogPrefix[] = "Fast_";
inline constexpr char kFileTypeLogPrefix[] = "File_Type_";

std::string MakeScanLogName(std::string_view prefix, uint64_t partitionStart,
                            const platform::LocalTime& when);
// With the current local time of the platform clock.
std::string MakeScanLogName(std::string_view prefix, uint64_t partitionStart);

}  // namespace salvora
