#include <algorithm>
#include <cstring>

#include "carving/StructureWalks.h"

namespace salvora {
namespace {

// The records of a ZIP archive, by their signatures.
constexpr uint32_t kLocalHeader = 0x04034B50;
constexpr uint32_t kDataDescriptor = 0x08074B50;
constexpr uint32_t kCentralHeader = 0x02014B50;
constexpr uint32_t kZip64End = 0x06064B50;
constexpr uint32_t kZip64Locator = 0x07064B50;
constexpr uint32_t kEnd = 0x06054B50;
constexpr uint32_t kSignatureRecord = 0x05054B50;

// Local file header fields.
constexpr uint64_t kLocalFlagsAt = 6;
constexpr uint64_t kLocalCompressedAt = 18;
constexpr uint64_t kLocalNameLengthAt = 26;
constexpr uint64_t kLocalExtraLengthAt = 28;
constexpr uint64_t kLocalFixed = 30;
constexpr uint16_t kHasDataDescriptor = 0x0008;
constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr uint32_t kZip64Marker = 0xFFFFFFFFu;

// Central directory and end records.
constexpr uint64_t kCentralNameLengthAt = 28;
constexpr uint64_t kCentralFixed = 46;
constexpr uint64_t kZip64EndSizeAt = 4;
constexpr uint64_t kZip64EndLead = 12;  // signature and size field, not counted by the size
constexpr uint64_t kZip64LocatorSize = 20;
constexpr uint64_t kEndCommentLengthAt = 20;
constexpr uint64_t kEndFixed = 22;

constexpr uint32_t kMaxEntries = 1u << 20;

// The compressed size of a local entry from its ZIP64 extra field, or nullopt.
std::optional<uint64_t> Zip64CompressedSize(ByteSource& source, uint64_t extra, uint64_t extraLength) {
  for (uint64_t at = extra; at + 4 <= extra + extraLength;) {
    const auto id = source.U16Le(at);
    const auto size = source.U16Le(at + 2);
    if (!id || !size) return std::nullopt;
    if (*id == kZip64ExtraId && *size >= 16) return source.U64Le(at + 4 + 8);
    at += 4 + *size;
  }
  return std::nullopt;
}

// Past the data of an entry written as a stream (sizes in a descriptor behind the data): the first
// descriptor whose compressed size matches its distance from the data's start.
std::optional<uint64_t> SkipStreamedData(ByteSource& source, uint64_t data) {
  const uint8_t signature[4] = {0x50, 0x4B, 0x07, 0x08};
  for (uint64_t from = data;;) {
    const auto at = source.Find(from, source.Limit(), signature, 4);
    if (!at) return std::nullopt;
    const uint64_t distance = *at - data;
    if (source.U32Le(*at + 8) == distance) return *at + 16;
    if (source.U64Le(*at + 8) == distance) return *at + 24;  // ZIP64 descriptor
    from = *at + 1;
  }
}

// Past one local entry at `at` (header, name, extra field, data, descriptor), or nullopt.
std::optional<uint64_t> SkipLocalEntry(ByteSource& source, uint64_t at) {
  const auto flags = source.U16Le(at + kLocalFlagsAt);
  const auto compressed32 = source.U32Le(at + kLocalCompressedAt);
  const auto nameLength = source.U16Le(at + kLocalNameLengthAt);
  const auto extraLength = source.U16Le(at + kLocalExtraLengthAt);
  if (!flags || !compressed32 || !nameLength || !extraLength) return std::nullopt;
  const uint64_t extra = at + kLocalFixed + *nameLength;
  const uint64_t data = extra + *extraLength;
  if ((*flags & kHasDataDescriptor) && *compressed32 == 0) return SkipStreamedData(source, data);
  uint64_t compressed = *compressed32;
  if (compressed == kZip64Marker) {
    const auto large = Zip64CompressedSize(source, extra, *extraLength);
    if (!large) return std::nullopt;
    compressed = *large;
  }
  if (compressed > source.Limit() - std::min(data, source.Limit())) return std::nullopt;
  uint64_t end = data + compressed;
  if (*flags & kHasDataDescriptor) {  // a descriptor follows, with or without its signature
    end += source.U32Le(end) == kDataDescriptor ? 16 : 12;
  }
  return end;
}

}  // namespace

WalkResult WalkZip(ByteSource& source) {
  if (source.U32Le(0) != kLocalHeader) return WalkResult::None();
  uint64_t at = 0;
  uint32_t entries = 0;
  while (source.U32Le(at) == kLocalHeader) {
    const auto next = SkipLocalEntry(source, at);
    if (!next || ++entries > kMaxEntries) return WalkResult::BrokenAt(at);
    at = *next;
  }
  while (source.U32Le(at) == kCentralHeader) {
    uint16_t lengths[3];
    for (int i = 0; i < 3; ++i) {
      const auto n = source.U16Le(at + kCentralNameLengthAt + 2 * i);
      if (!n) return WalkResult::BrokenAt(at);
      lengths[i] = *n;
    }
    at += kCentralFixed + lengths[0] + lengths[1] + lengths[2];
  }
  if (source.U32Le(at) == kSignatureRecord) {
    const auto size = source.U16Le(at + 4);
    if (!size) return WalkResult::BrokenAt(at);
    at += 6 + *size;
  }
  if (source.U32Le(at) == kZip64End) {
    const auto size = source.U64Le(at + kZip64EndSizeAt);
    if (!size || *size > source.Limit()) return WalkResult::BrokenAt(at);
    at += kZip64EndLead + *size;
  }
  if (source.U32Le(at) == kZip64Locator) at += kZip64LocatorSize;
  const auto comment = source.U16Le(at + kEndCommentLengthAt);
  if (source.U32Le(at) != kEnd || !comment) return WalkResult::BrokenAt(at);
  const uint64_t end = at + kEndFixed + *comment;
  if (end > source.Limit()) return WalkResult::BrokenAt(at);
  return WalkResult::Measured(end);
}

}  // namespace salvora
