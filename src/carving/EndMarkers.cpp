#include "carving/EndMarkers.h"

#include <cstring>

namespace salvora {

size_t FindPattern(const uint8_t* bytes, size_t length, std::string_view pattern, size_t from) {
  const size_t m = pattern.size();
  if (!bytes || m == 0 || from > length || length - from < m) return std::string_view::npos;
  const uint8_t first = uint8_t(pattern[0]);
  const uint8_t* p = bytes + from;
  const uint8_t* last = bytes + (length - m);
  while (p <= last) {
    p = static_cast<const uint8_t*>(std::memchr(p, first, size_t(last - p) + 1));
    if (!p) break;
    if (std::memcmp(p + 1, pattern.data() + 1, m - 1) == 0) return size_t(p - bytes);
    ++p;
  }
  return std::string_view::npos;
}

bool IsCleanEnd(const uint8_t* bytes, size_t length, size_t end, int sectorSize) {
  if (sectorSize <= 0 || end > length) return false;
  const size_t size = size_t(sectorSize);
  if (end % size == 0) return true;
  const size_t boundary = (end / size + 1) * size;
  if (boundary > length) return false;
  for (size_t i = end; i < boundary; ++i)
    if (bytes[i] != 0) return false;
  return true;
}

std::optional<size_t> FirstMarkerEnd(const uint8_t* bytes, size_t length, std::string_view pattern,
                                     int sectorSize) {
  size_t at = FindPattern(bytes, length, pattern);
  if (at == std::string_view::npos) return std::nullopt;
  size_t end = at + pattern.size();
  if (!IsCleanEnd(bytes, length, end, sectorSize)) return std::nullopt;
  return end;
}

std::optional<size_t> FirstCleanMarkerEnd(const uint8_t* bytes, size_t length,
                                          std::string_view pattern, int sectorSize) {
  for (size_t at = FindPattern(bytes, length, pattern); at != std::string_view::npos;
       at = FindPattern(bytes, length, pattern, at + 1)) {
    size_t end = at + pattern.size();
    if (IsCleanEnd(bytes, length, end, sectorSize)) return end;
  }
  return std::nullopt;
}

}  // namespace salvora
