#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint32_t kKeyPrefix = 0x060E2B34;  // every SMPTE universal label
constexpr uint64_t kKeySize = 16;
constexpr uint32_t kMaxPacks = 1u << 22;

// A BER length at `at`: its value and width, or nullopt.
std::optional<std::pair<uint64_t, uint64_t>> ReadBerLength(ByteSource& source, uint64_t at) {
  const auto first = source.U8(at);
  if (!first) return std::nullopt;
  if (!(*first & 0x80)) return std::pair<uint64_t, uint64_t>{*first, 1};
  const uint64_t n = *first & 0x7F;
  if (n == 0 || n > 8) return std::nullopt;
  uint64_t value = 0;
  for (uint64_t i = 1; i <= n; ++i) {
    const auto b = source.U8(at + i);
    if (!b) return std::nullopt;
    value = (value << 8) | *b;
  }
  return std::pair<uint64_t, uint64_t>{value, 1 + n};
}

}  // namespace

// MXF: key-length-value packs from the header partition on (the footer partition and random
// index pack are packs too); the file ends where the next 16 bytes are no SMPTE key.
WalkResult WalkMxf(ByteSource& source) {
  if (source.U32Be(0) != kKeyPrefix) return WalkResult::None();
  uint64_t at = 0;
  for (uint32_t packs = 0; packs < kMaxPacks && source.U32Be(at) == kKeyPrefix; ++packs) {
    const auto length = ReadBerLength(source, at + kKeySize);
    if (!length) return WalkResult::BrokenAt(at);
    const uint64_t value = at + kKeySize + length->second;
    if (value > source.Limit() || length->first > source.Limit() - value) return WalkResult::BrokenAt(at);
    at = value + length->first;
  }
  return WalkResult::Measured(at);
}

}  // namespace salvora
