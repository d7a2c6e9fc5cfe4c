#include <zlib.h>

#include <algorithm>
#include <vector>

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
// A stream that decodes to more than this is given up (a small input may expand a thousandfold).
constexpr uLong kMaxDecoded = 4ul << 30;

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

// Inflates the raw deflate stream that starts at `at`. Returns the offset just past it and the
// CRC-32 and length of what it decoded, or nullopt when the stream is corrupt or cut short.
struct Inflated {
  uint64_t end;
  uint32_t crc;
  uint32_t length;
};

std::optional<Inflated> Inflate(ByteSource& source, uint64_t at) {
  z_stream stream{};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return std::nullopt;
  std::vector<uint8_t> out(65536);
  uLong crc = crc32(0L, Z_NULL, 0);
  int rc = Z_OK;
  while (rc == Z_OK) {
    size_t available = 0;
    const uint8_t* p = source.Window(at, available);
    if (!p) break;
    stream.next_in = const_cast<Bytef*>(p);
    stream.avail_in = uInt(std::min<size_t>(available, 1u << 30));
    const uInt fed = stream.avail_in;
    while (rc == Z_OK && (stream.avail_in > 0 || stream.avail_out == 0)) {
      stream.next_out = out.data();
      stream.avail_out = uInt(out.size());
      rc = inflate(&stream, Z_NO_FLUSH);
      crc = crc32(crc, out.data(), uInt(out.size() - stream.avail_out));
      if (rc == Z_BUF_ERROR && stream.avail_in == 0) rc = Z_OK;  // wants more input
      if (stream.total_out > kMaxDecoded) rc = Z_DATA_ERROR;
      if (rc == Z_OK && stream.avail_in == 0 && stream.avail_out != 0) break;
    }
    at += fed - stream.avail_in;
  }
  const uLong total = stream.total_out;
  inflateEnd(&stream);
  if (rc != Z_STREAM_END) return std::nullopt;
  return Inflated{at, uint32_t(crc), uint32_t(total)};
}

}  // namespace

WalkResult WalkGzip(ByteSource& source) {
  if (source.U8(0) != kId1 || source.U8(1) != kId2 || source.U8(2) != kDeflate)
    return WalkResult::None();
  const auto flags = source.U8(kFlagsAt);
  if (!flags || (*flags & kReservedFlags)) return WalkResult::BrokenAt(kFlagsAt);
  const auto data = SkipHeader(source, *flags);
  if (!data) return WalkResult::BrokenAt(kFixedHeader);
  const auto inflated = Inflate(source, *data);
  if (!inflated) return WalkResult::BrokenAt(*data);
  const auto crc = source.U32Le(inflated->end);
  const auto length = source.U32Le(inflated->end + 4);
  if (crc != inflated->crc || length != inflated->length) return WalkResult::BrokenAt(inflated->end);
  return WalkResult::Measured(inflated->end + kTrailer);
}

}  // namespace salvora
