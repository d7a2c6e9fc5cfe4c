#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint32_t kMaxChunkLength = 0x7FFFFFFFu;  // the format's own bound
constexpr uint64_t kChunkFrame = 12;               // length, type and CRC around the data

bool IsChunkType(const uint8_t type[4]) {
  for (int i = 0; i < 4; ++i) {
    const uint8_t c = type[i];
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
  }
  return true;
}

// The CRC-32 of n bytes at offset, or nullopt when they are not all there.
std::optional<uint32_t> Crc32(ByteSource& source, uint64_t offset, uint64_t n) {
  uLong crc = crc32(0L, Z_NULL, 0);
  while (n > 0) {
    size_t available = 0;
    const uint8_t* p = source.Window(offset, available);
    if (!p) return std::nullopt;
    const size_t take = size_t(std::min<uint64_t>({available, n, 1u << 30}));
    crc = crc32(crc, p, uInt(take));
    offset += take;
    n -= take;
  }
  return uint32_t(crc);
}

}  // namespace

WalkResult WalkPng(ByteSource& source) {
  uint8_t signature[8];
  if (!source.Read(0, signature, 8) || std::memcmp(signature, kSignature, 8) != 0)
    return WalkResult::None();
  uint64_t at = 8;
  for (bool first = true;; first = false) {
    const auto length = source.U32Be(at);
    uint8_t type[4];
    if (!length || *length > kMaxChunkLength || !source.Read(at + 4, type, 4) || !IsChunkType(type))
      return WalkResult::BrokenAt(at);
    if (first && std::memcmp(type, "IHDR", 4) != 0) return WalkResult::BrokenAt(at);
    const auto crc = Crc32(source, at + 4, 4 + uint64_t(*length));
    const auto stored = source.U32Be(at + 8 + *length);
    if (!crc || !stored || *crc != *stored) return WalkResult::BrokenAt(at);
    at += kChunkFrame + *length;
    if (std::memcmp(type, "IEND", 4) == 0) return WalkResult::Measured(at);
  }
}

}  // namespace salvora
