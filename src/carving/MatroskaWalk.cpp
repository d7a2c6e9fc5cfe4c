#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint32_t kEbmlHeader = 0x1A45DFA3;
constexpr uint32_t kSegment = 0x18538067;

// An EBML variable-length number at `at`: its value (the marker bit removed when `strip`) and its
// width, or nullopt.
struct VarInt {
  uint64_t value;
  uint64_t width;
  bool unknown;  // a size of all ones: "unknown", as live recordings write it
};

std::optional<VarInt> ReadVarInt(ByteSource& source, uint64_t at, bool strip) {
  const auto first = source.U8(at);
  if (!first || *first == 0) return std::nullopt;
  uint64_t width = 1;
  while (!(*first & (0x80 >> (width - 1)))) ++width;
  uint64_t value = strip ? (*first & (0xFF >> width)) : *first;
  bool allOnes = value == (0xFFu >> width);
  for (uint64_t i = 1; i < width; ++i) {
    const auto b = source.U8(at + i);
    if (!b) return std::nullopt;
    value = (value << 8) | *b;
    allOnes = allOnes && *b == 0xFF;
  }
  return VarInt{value, width, strip && allOnes};
}

// Past the element at `at` whose ID is expected, or nullopt.
std::optional<uint64_t> SkipElement(ByteSource& source, uint64_t at, uint32_t expected) {
  const auto id = ReadVarInt(source, at, false);
  if (!id || id->value != expected) return std::nullopt;
  const auto size = ReadVarInt(source, at + id->width, true);
  if (!size || size->unknown) return std::nullopt;
  const uint64_t data = at + id->width + size->width;
  if (data > source.Limit() || size->value > source.Limit() - data) return std::nullopt;
  return data + size->value;
}

}  // namespace

// Matroska and WebM: the EBML header, then one segment of a declared size. The segment's
// clusters are not walked, so only the header counts as verified.
WalkResult WalkMatroska(ByteSource& source) {
  if (source.U32Be(0) != kEbmlHeader) return WalkResult::None();
  const auto segment = SkipElement(source, 0, kEbmlHeader);
  if (!segment) return WalkResult::BrokenAt(0);
  const auto end = SkipElement(source, *segment, kSegment);
  if (!end) return WalkResult::BrokenAt(*segment);
  return WalkResult::Measured(*end, *segment);
}

}  // namespace salvora
