#include "carving/InflateStream.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

namespace salvora {
namespace {

constexpr uLong kMaxDecoded = 4ul << 30;
constexpr size_t kOutputPiece = 65536;

}  // namespace

std::optional<Inflated> InflateStream(ByteSource& source, uint64_t at, DeflateWrapper wrapper) {
  z_stream stream{};
  if (inflateInit2(&stream, wrapper == DeflateWrapper::Raw ? -MAX_WBITS : MAX_WBITS) != Z_OK)
    return std::nullopt;
  std::vector<uint8_t> out(kOutputPiece);
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

}  // namespace salvora
