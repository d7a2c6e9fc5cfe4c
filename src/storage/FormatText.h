#pragma once

#include <cstdint>
#include <string>

namespace salvora {

// "1.50 KB", "1023 Bytes", "2.00 GB": binary units, two decimals from KB upwards.
std::string FormatSize(int64_t bytes);
// "45 Sec", "2 Min 5 Sec", "1 Hour 3 Min" (seconds dropped from an hour up).
std::string FormatDuration(int64_t seconds);

}  // namespace salvora
