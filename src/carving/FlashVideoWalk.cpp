#include <cstring>

#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint64_t kHeaderLengthAt = 5;
constexpr uint64_t kTagHeader = 11;
constexpr uint64_t kPreviousSize = 4;
constexpr uint8_t kTagTypeMask = 0x1F;  // the top bits mark filtered (encrypted) tags

bool IsTagType(uint8_t type) {
  const uint8_t t = type & kTagTypeMask;
  return t == 8 || t == 9 || t == 18;  // audio, video, script data
}

}  // namespace

// FLV: a header, then tags, each followed by its own total size; the file ends where no tag whose
// trailing size matches follows.
WalkResult WalkFlashVideo(ByteSource& source) {
  char magic[3];
  if (!source.Read(0, magic, 3) || std::memcmp(magic, "FLV", 3) != 0) return WalkResult::None();
  const auto headerLength = source.U32Be(kHeaderLengthAt);
  if (!headerLength || *headerLength < 9) return WalkResult::BrokenAt(kHeaderLengthAt);
  uint64_t at = *headerLength + kPreviousSize;
  uint64_t tags = 0;
  for (;;) {
    const auto type = source.U8(at);
    const auto word = source.U32Be(at);  // type and 24-bit data size
    if (!type || !word || !IsTagType(*type)) break;
    const uint64_t dataSize = *word & 0xFFFFFF;
    const uint64_t next = at + kTagHeader + dataSize;
    if (source.U32Be(next) != kTagHeader + dataSize) break;
    at = next + kPreviousSize;
    ++tags;
  }
  if (tags == 0) return WalkResult::BrokenAt(at);
  return WalkResult::Measured(at);
}

}  // namespace salvora
