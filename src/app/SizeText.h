#pragma once

#include <cstdint>
#include <string>

namespace salvora::app {

// Sizes as every window shows them: "1.50 KB", "1023 Bytes", "3.72 GB".
std::string FormatSize(int64_t bytes);

}  // namespace salvora::app
