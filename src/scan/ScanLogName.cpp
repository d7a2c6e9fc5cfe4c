#include "scan/ScanLogName.h"

#include <cstdio>

namespace salvora {

std::string MakeScanLogName(std::string_view prefix, uint64_t partitionStart,
                            const platform::LocalTime& when) {
  char tail[96];
  std::snprintf(tail, sizeof tail, "%lld_%d%d%d%d%2d", static_cast<long long>(partitionStart),
                when.year, when.month, when.day, when.hour, when.minute);
  return std::string(prefix) + tail;
}

std::string MakeScanLogName(std::string_view prefix, uint64_t partitionStart) {
  return MakeScanLogName(prefix, partitionStart, platform::Now());
}

}  // namespace salvora
