#include "carving/PngStreamCheck.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint64_t kChunkFrame = 12;  // length, type and CRC around the data
constexpr size_t kOutputPiece = 16384;

// The header fields that fix how many bytes the image data inflates to.
struct PngHeader {
  uint32_t width = 0;
  uint32_t height = 0;
  uint8_t bitDepth = 0;
  uint8_t colourType = 0;
  uint8_t interlace = 0;

  static std::optional<PngHeader> Read(ByteSource& source) {
    // The signature, IHDR's length and type come first: the walk already checked them.
    PngHeader h;
    const auto width = source.U32Be(16);
    const auto height = source.U32Be(20);
    const auto depth = source.U8(24);
    const auto colour = source.U8(25);
    const auto interlace = source.U8(28);
    if (!width || !height || !depth || !colour || !interlace) return std::nullopt;
    h.width = *width;
    h.height = *height;
    h.bitDepth = *depth;
    h.colourType = *colour;
    h.interlace = *interlace;
    return h;
  }

  int Channels() const {
    switch (colourType) {
      case 0: return 1;
      case 2: return 3;
      case 3: return 1;
      case 4: return 2;
      case 6: return 4;
      default: return 0;
    }
  }

  // Bytes of a filtered row of `pixels` pixels, its filter byte included.
  uint64_t RowBytes(uint64_t pixels) const {
    return 1 + (pixels * uint64_t(Channels()) * bitDepth + 7) / 8;
  }

  // The filtered rows the image data holds, pass by pass (one pass, or the seven of the
  // interlaced form): bytes of a row and rows. Empty when the header makes no sense.
  std::vector<std::pair<uint64_t, uint64_t>> Passes() const {
    std::vector<std::pair<uint64_t, uint64_t>> passes;
    if (Channels() == 0 || bitDepth == 0 || bitDepth > 16 || width == 0 || height == 0) return passes;
    if (interlace == 0) {
      passes.emplace_back(RowBytes(width), height);
      return passes;
    }
    // Origin and step of columns and rows of each pass.
    static constexpr int kPass[7][4] = {{0, 8, 0, 8}, {4, 8, 0, 8}, {0, 4, 4, 8}, {2, 4, 0, 4},
                                        {0, 2, 2, 4}, {1, 2, 0, 2}, {0, 1, 1, 2}};
    for (const auto& p : kPass) {
      const uint64_t columns = width > uint32_t(p[0]) ? (width - p[0] + p[1] - 1) / p[1] : 0;
      const uint64_t rows = height > uint32_t(p[2]) ? (height - p[2] + p[3] - 1) / p[3] : 0;
      if (columns && rows) passes.emplace_back(RowBytes(columns), rows);
    }
    return passes;
  }
};

// Follows the inflated bytes row by row: each row starts with its filter type, 0 to 4. Damaged
// data inflates to a bad filter type within a row or two, long before the stream itself fails.
class RowFilters {
 public:
  explicit RowFilters(std::vector<std::pair<uint64_t, uint64_t>> passes) : passes_(std::move(passes)) {
    for (const auto& [bytes, rows] : passes_) total_ += bytes * rows;
  }
  uint64_t Total() const { return total_; }

  // False at the first bad filter type in these next bytes of the stream.
  bool Feed(const uint8_t* data, size_t n) {
    for (size_t i = 0; pass_ < passes_.size();) {
      const uint64_t skip = std::min<uint64_t>(toNextRow_, n - i);
      toNextRow_ -= skip;
      i += size_t(skip);
      if (i == n) return true;
      if (data[i] > 4) return false;
      toNextRow_ = passes_[pass_].first;
      if (++row_ == passes_[pass_].second) {
        row_ = 0;
        ++pass_;
      }
    }
    return true;
  }

 private:
  std::vector<std::pair<uint64_t, uint64_t>> passes_;
  uint64_t total_ = 0;
  size_t pass_ = 0;
  uint64_t row_ = 0;
  uint64_t toNextRow_ = 0;
};

// Feeds zlib with the image data of the chunks before `end` (which the walk proved to be whole
// chunks with good CRCs); the offset in the file where the stream breaks, or nullopt when it ends
// with exactly the expected bytes.
std::optional<uint64_t> InflateImageData(ByteSource& source, uint64_t end, RowFilters& rows) {
  const uint64_t expected = rows.Total();
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return 8;
  std::vector<uint8_t> out(kOutputPiece);
  int rc = Z_OK;
  uint64_t at = 8;
  bool seen = false;
  for (uint64_t chunk = 8; rc == Z_OK && chunk < end;) {
    const uint32_t length = source.U32Be(chunk).value_or(0);
    uint8_t type[4] = {};
    source.Read(chunk + 4, type, 4);
    const bool data = std::memcmp(type, "IDAT", 4) == 0;
    seen = seen || data;
    for (uint64_t done = 0; data && rc == Z_OK && done < length;) {
      at = chunk + 8 + done;
      size_t available = 0;
      const uint8_t* p = source.Window(at, available);
      if (!p) {
        rc = Z_DATA_ERROR;
        break;
      }
      stream.next_in = const_cast<Bytef*>(p);
      stream.avail_in = uInt(std::min<uint64_t>({available, length - done, 1u << 30}));
      const uInt fed = stream.avail_in;
      do {
        stream.next_out = out.data();
        stream.avail_out = uInt(out.size());
        rc = inflate(&stream, Z_NO_FLUSH);
        if (rc == Z_BUF_ERROR) rc = Z_OK;  // wants more input
        if (stream.total_out > expected) rc = Z_DATA_ERROR;
        if (!rows.Feed(out.data(), out.size() - stream.avail_out)) rc = Z_DATA_ERROR;
        at = chunk + 8 + done + (fed - stream.avail_in);
      } while (rc == Z_OK && stream.avail_out == 0);
      done += fed - stream.avail_in;
    }
    chunk += kChunkFrame + length;
    if (!seen) at = chunk;
  }
  const bool whole = rc == Z_STREAM_END && stream.total_out == expected;
  inflateEnd(&stream);
  if (whole) return std::nullopt;
  return at;
}

}  // namespace

WalkResult CheckPngStreams(ByteSource& source) {
  const WalkResult chunks = WalkPng(source);
  if (!chunks.ok()) return chunks;
  const auto header = PngHeader::Read(source);
  RowFilters rows(header ? header->Passes() : std::vector<std::pair<uint64_t, uint64_t>>{});
  if (rows.Total() == 0) return WalkResult::BrokenAt(8);
  if (const auto broken = InflateImageData(source, chunks.length, rows))
    return WalkResult::BrokenAt(*broken);
  return chunks;
}

}  // namespace salvora
