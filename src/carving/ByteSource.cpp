#include "carving/ByteSource.h"

#include <algorithm>
#include <cstring>

namespace salvora {
namespace {

template <typename T>
std::optional<T> Decode(ByteSource& source, uint64_t offset, bool bigEndian) {
  uint8_t b[sizeof(T)];
  if (!source.Read(offset, b, sizeof b)) return std::nullopt;
  T value = 0;
  for (size_t i = 0; i < sizeof b; ++i)
    value = T(value << 8) | b[bigEndian ? i : sizeof b - 1 - i];
  return value;
}

}  // namespace

bool ByteSource::Read(uint64_t offset, void* out, size_t n) {
  auto* to = static_cast<uint8_t*>(out);
  while (n > 0) {
    size_t available = 0;
    const uint8_t* p = Window(offset, available);
    if (!p) return false;
    const size_t take = std::min(available, n);
    std::memcpy(to, p, take);
    to += take;
    offset += take;
    n -= take;
  }
  return true;
}

std::optional<uint8_t> ByteSource::U8(uint64_t offset) { return Decode<uint8_t>(*this, offset, true); }
std::optional<uint16_t> ByteSource::U16Be(uint64_t offset) { return Decode<uint16_t>(*this, offset, true); }
std::optional<uint32_t> ByteSource::U32Be(uint64_t offset) { return Decode<uint32_t>(*this, offset, true); }
std::optional<uint64_t> ByteSource::U64Be(uint64_t offset) { return Decode<uint64_t>(*this, offset, true); }
std::optional<uint16_t> ByteSource::U16Le(uint64_t offset) { return Decode<uint16_t>(*this, offset, false); }
std::optional<uint32_t> ByteSource::U32Le(uint64_t offset) { return Decode<uint32_t>(*this, offset, false); }
std::optional<uint64_t> ByteSource::U64Le(uint64_t offset) { return Decode<uint64_t>(*this, offset, false); }

std::optional<uint64_t> ByteSource::Find(uint64_t from, uint64_t to, const void* pattern,
                                         size_t length) {
  const auto* pat = static_cast<const uint8_t*>(pattern);
  if (length == 0 || length > 64) return std::nullopt;
  to = std::min(to, Limit());
  // A window's last length - 1 bytes are searched again with the next window, through a small
  // joint buffer, so that nothing straddling the seam is missed.
  uint8_t joint[128];
  while (from < to && to - from >= length) {
    size_t available = 0;
    const uint8_t* p = Window(from, available);
    if (!p) return std::nullopt;
    available = size_t(std::min<uint64_t>(available, to - from));
    for (size_t i = 0; i + length <= available;) {
      const void* hit = std::memchr(p + i, pat[0], available - length + 1 - i);
      if (!hit) break;
      i = size_t(static_cast<const uint8_t*>(hit) - p);
      if (std::memcmp(p + i, pat, length) == 0) return from + i;
      ++i;
    }
    if (available >= to - from) return std::nullopt;
    // Window ends before `to`: check the seam.
    const size_t keep = std::min(available, length - 1);
    const uint64_t seam = from + available - keep;
    const size_t joined = size_t(std::min<uint64_t>(keep + length - 1, to - seam));
    if (joined >= length && Read(seam, joint, joined)) {
      for (size_t i = 0; i + length <= joined; ++i)
        if (std::memcmp(joint + i, pat, length) == 0) return seam + i;
    }
    from += available;
  }
  return std::nullopt;
}

}  // namespace salvora
