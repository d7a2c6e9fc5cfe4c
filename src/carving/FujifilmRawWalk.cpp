#include <algorithm>
#include <string_view>

#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint64_t kMagicLength = 16;
// The big-endian (offset, length) pairs of the header: the JPEG preview, the CFA header and the
// CFA data.
constexpr uint64_t kPieces = 0x54;
constexpr int kPieceCount = 3;
constexpr uint64_t kHeaderEnd = kPieces + 8 * kPieceCount;

}  // namespace

// A Fujifilm raw is a fixed header that places its three pieces; the file ends with the furthest
// of them. Only the header and the preview's start marker are checked.
WalkResult WalkFujifilmRaw(ByteSource& source) {
  char magic[kMagicLength];
  if (!source.Read(0, magic, kMagicLength) || std::string_view(magic, kMagicLength) != "FUJIFILMCCD-RAW ")
    return WalkResult::None();
  uint64_t end = kHeaderEnd;
  for (int i = 0; i < kPieceCount; ++i) {
    const auto offset = source.U32Be(kPieces + 8 * i);
    const auto length = source.U32Be(kPieces + 8 * i + 4);
    if (!offset || !length) return WalkResult::BrokenAt(kPieces);
    if (*offset == 0) continue;
    if (*offset < kHeaderEnd || *offset > source.Limit() || *length > source.Limit() - *offset)
      return WalkResult::BrokenAt(kPieces + 8 * i);
    end = std::max(end, uint64_t(*offset) + *length);
  }
  const auto preview = source.U32Be(kPieces);
  if (preview && *preview != 0 && source.U16Be(*preview) != 0xFFD8) return WalkResult::BrokenAt(*preview);
  return WalkResult::Measured(end, kHeaderEnd);
}

}  // namespace salvora
