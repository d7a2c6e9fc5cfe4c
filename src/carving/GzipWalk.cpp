#include "carving/InflateStream.h"
#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint8_t kId1 = 0x1F;
constexpr uint8_t kId2 = 0x8B;
constexpr uint8_t kDeflate = 8;
constexpr uint64_t kFixedHeader = 10;
constexpr uint64_t kFlagsAt = 3;
constexpr uint8_t kHeaderCrc = 0x02;
constexpr uint8_t kExtra = 0x04;
constexpr uint8_t kName = 0x08;
constexpr uint8_t kComment = 0x10;
constexpr uint8_t kReservedFlags = 0xE0;
constexpr uint64_t kTrailer = 8;  // CRC-32 and length of the uncompressed data

// Past a zero-terminated field at `at`, or nullopt.
std::optional<uint64_t> SkipZeroTerminated(ByteSource& source, uint64_t at) {
  const uint8_t zero = 0;
  const auto end = source.Find(at, source.Limit(), &zero, 1);
  if (!end) return std::nullopt;
  return *end + 1;
}

// Past the optional header fields, or nullopt.
std::optional<uint64_t> SkipHeader(ByteSource& source, uint8_t flags) {
  std::optional<uint64_t> at = kFixedHeader;
  if (flags & kExtra) {
    const auto length = source.U16Le(*at);
    if (!length) return std::nullopt;
    at = *at + 2 + *length;
  }
  if (at && (flags & kName)) at = SkipZeroTerminated(source, *at);
  if (at && (flags & kComment)) at = SkipZeroTerminated(source, *at);
  if (at && (flags & kHeaderCrc)) at = *at + 2;
  return at;
}

}  // namespace

WalkResult WalkGzip(ByteSource& source) {
  if (source.U8(0) != kId1 || source.U8(1) != kId2 || source.U8(2) != kDeflate)
    return WalkResult::None();
  const auto flags = source.U8(kFlagsAt);
  if (!flags || (*flags & kReservedFlags)) return WalkResult::BrokenAt(kFlagsAt);
  const auto data = SkipHeader(source, *flags);
  if (!data) return WalkResult::BrokenAt(kFixedHeader);
  const auto inflated = InflateStream(source, *data, DeflateWrapper::Raw);
  if (!inflated) return WalkResult::BrokenAt(*data);
  const auto crc = source.U32Le(inflated->end);
  const auto length = source.U32Le(inflated->end + 4);
  if (crc != inflated->crc || length != inflated->length) return WalkResult::BrokenAt(inflated->end);
  return WalkResult::Measured(inflated->end + kTrailer);
}

}  // namespace salvora
