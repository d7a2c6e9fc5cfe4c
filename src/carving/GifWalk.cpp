#include <cstring>

#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint64_t kHeaderAndScreen = 13;  // signature, version, logical screen descriptor
constexpr uint64_t kScreenFlagsAt = 10;
constexpr uint64_t kImageDescriptor = 10;  // separator included
constexpr uint64_t kImageFlagsAt = 9;
constexpr uint8_t kExtension = 0x21;
constexpr uint8_t kImage = 0x2C;
constexpr uint8_t kTrailer = 0x3B;

// Bytes of the colour table that a packed-fields byte announces.
uint64_t ColourTable(uint8_t flags) { return (flags & 0x80) ? 3ull << ((flags & 7) + 1) : 0; }

// Past the data sub-blocks that start at `at` (through their zero terminator), or nullopt.
std::optional<uint64_t> SkipSubBlocks(ByteSource& source, uint64_t at) {
  for (;;) {
    const auto n = source.U8(at);
    if (!n) return std::nullopt;
    at += 1 + *n;
    if (*n == 0) return at;
  }
}

}  // namespace

WalkResult WalkGif(ByteSource& source) {
  uint8_t header[6];
  if (!source.Read(0, header, 6) ||
      (std::memcmp(header, "GIF87a", 6) != 0 && std::memcmp(header, "GIF89a", 6) != 0))
    return WalkResult::None();
  const auto screenFlags = source.U8(kScreenFlagsAt);
  if (!screenFlags) return WalkResult::BrokenAt(kScreenFlagsAt);
  uint64_t at = kHeaderAndScreen + ColourTable(*screenFlags);
  for (;;) {
    const auto block = source.U8(at);
    std::optional<uint64_t> next;
    if (block == kTrailer) return WalkResult::Measured(at + 1);
    if (block == kExtension) {
      next = SkipSubBlocks(source, at + 2);
    } else if (block == kImage) {
      const auto flags = source.U8(at + kImageFlagsAt);
      // The descriptor, the local colour table and the LZW code size byte, then the data.
      if (flags) next = SkipSubBlocks(source, at + kImageDescriptor + ColourTable(*flags) + 1);
    }
    if (!next) return WalkResult::BrokenAt(at);
    at = *next;
  }
}

}  // namespace salvora
