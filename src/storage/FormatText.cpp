#include "storage/FormatText.h"

#include <cstdio>

namespace salvora {

std::string FormatSize(int64_t bytes) {
  constexpr double K = 1024.0;
  char text[64];
  const double value = double(bytes);
  if (value >= K * K * K * K)
    std::snprintf(text, sizeof text, "%.2f TB", value / (K * K * K * K));
  else if (value >= K * K * K)
    std::snprintf(text, sizeof text, "%.2f GB", value / (K * K * K));
  else if (value >= K * K)
    std::snprintf(text, sizeof text, "%.2f MB", value / (K * K));
  else if (bytes < 1024)
    std::snprintf(text, sizeof text, "%lld Bytes", static_cast<long long>(bytes));
  else
    std::snprintf(text, sizeof text, "%.2f KB", value / K);
  return text;
}

std::string FormatDuration(int64_t seconds) {
  char text[64];
  const long long s = seconds;
  if (s >= 3600)
    std::snprintf(text, sizeof text, "%lld Hour %lld Min", s / 3600, (s % 3600) / 60);
  else if (s < 60)
    std::snprintf(text, sizeof text, "%lld Sec", s);
  else
    std::snprintf(text, sizeof text, "%lld Min %lld Sec", s / 60, s % 60);
  return text;
}

}  // namespace salvora
