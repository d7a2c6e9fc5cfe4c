#include <algorithm>
#include <cstring>

#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint64_t kVersionAt = 4;
constexpr uint64_t kChannelsAt = 12;
constexpr uint64_t kHeightAt = 14;
constexpr uint64_t kWidthAt = 18;
constexpr uint64_t kDepthAt = 22;
constexpr uint64_t kHeader = 26;
constexpr uint16_t kRaw = 0;
constexpr uint16_t kPackBits = 1;
constexpr uint64_t kMaxRows = 1u << 26;  // channels x height of the largest document
constexpr uint32_t kMaxSide = 300000;    // the format's own bound on width and height

// Past a section of a 32-bit length (or a 64-bit one, when wide) at `at`, or nullopt.
std::optional<uint64_t> SkipSection(ByteSource& source, uint64_t at, bool wide) {
  const auto length = wide ? source.U64Be(at) : std::optional<uint64_t>(source.U32Be(at));
  if (!length) return std::nullopt;
  const uint64_t data = at + (wide ? 8 : 4);
  if (*length > source.Limit() - std::min(data, source.Limit())) return std::nullopt;
  return data + *length;
}

}  // namespace

// Photoshop (PSD, and PSB with version 2): header, colour mode data, image resources, layer and
// mask information, then the merged image data, whose length follows from the header's
// dimensions (raw) or from its table of compressed row lengths (PackBits).
WalkResult WalkPhotoshop(ByteSource& source) {
  char magic[4];
  if (!source.Read(0, magic, 4) || std::memcmp(magic, "8BPS", 4) != 0) return WalkResult::None();
  const auto version = source.U16Be(kVersionAt);
  const auto channels = source.U16Be(kChannelsAt);
  const auto height = source.U32Be(kHeightAt);
  const auto width = source.U32Be(kWidthAt);
  const auto depth = source.U16Be(kDepthAt);
  if (!version || (*version != 1 && *version != 2) || !channels || !height || !width || !depth ||
      *height > kMaxSide || *width > kMaxSide)
    return WalkResult::BrokenAt(kVersionAt);
  const bool big = *version == 2;
  auto at = SkipSection(source, kHeader, false);                 // colour mode data
  if (at) at = SkipSection(source, *at, false);                  // image resources
  if (at) at = SkipSection(source, *at, big);                    // layer and mask information
  if (!at) return WalkResult::BrokenAt(kHeader);
  const auto compression = source.U16Be(*at);
  if (!compression) return WalkResult::BrokenAt(*at);
  uint64_t end = *at + 2;
  const uint64_t rows = uint64_t(*channels) * *height;
  if (*compression == kRaw) {
    end += rows * ((uint64_t(*width) * *depth + 7) / 8);
  } else if (*compression == kPackBits && rows <= kMaxRows) {
    const uint64_t entry = big ? 4 : 2;
    uint64_t data = 0;
    for (uint64_t r = 0; r < rows; ++r) {
      const std::optional<uint32_t> n =
          big ? source.U32Be(end + r * entry) : std::optional<uint32_t>(source.U16Be(end + r * entry));
      if (!n) return WalkResult::BrokenAt(end);
      data += *n;
    }
    end += rows * entry + data;
  } else {
    return WalkResult::BrokenAt(*at);
  }
  if (end > source.Limit()) return WalkResult::BrokenAt(*at);
  return WalkResult::Measured(end, *at);
}

}  // namespace salvora
