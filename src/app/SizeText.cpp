#include "app/SizeText.h"

#include <cstdio>

namespace salvora::app {

std::string FormatSize(int64_t bytes) {
  constexpr double K = 1024.0;
  const double b = static_cast<double>(bytes);
  char text[64];
  if (b >= K * K * K * K) std::snprintf(text, sizeof text, "%.2f TB", b / (K * K * K * K));
  else if (b >= K * K * K) std::snprintf(text, sizeof text, "%.2f GB", b / (K * K * K));
  else if (b >= K * K) std::snprintf(text, sizeof text, "%.2f MB", b / (K * K));
  else if (bytes < 1024) std::snprintf(text, sizeof text, "%lld Bytes", static_cast<long long>(bytes));
  else std::snprintf(text, sizeof text, "%.2f KB", b / K);
  return text;
}

}  // namespace salvora::app
