#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint64_t kPageHeader = 27;
constexpr uint64_t kCrcAt = 22;
constexpr uint8_t kBeginOfStream = 0x02;
constexpr uint8_t kEndOfStream = 0x04;
constexpr size_t kMaxStreams = 64;

// The Ogg page checksum: CRC-32 with polynomial 04C11DB7, not reflected, starting at 0.
class OggCrc {
 public:
  OggCrc() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t r = i << 24;
      for (int k = 0; k < 8; ++k) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
      table_[i] = r;
    }
  }
  uint32_t Of(const uint8_t* p, size_t n) const {
    uint32_t crc = 0;
    for (size_t i = 0; i < n; ++i) crc = (crc << 8) ^ table_[(crc >> 24) ^ p[i]];
    return crc;
  }

 private:
  std::array<uint32_t, 256> table_{};
};

struct Page {
  uint8_t flags = 0;
  uint32_t serial = 0;
  uint64_t length = 0;
};

// The page at `at` when its header and checksum hold, or nullopt.
std::optional<Page> ReadPage(ByteSource& source, uint64_t at, std::vector<uint8_t>& buffer) {
  static const OggCrc crc;
  uint8_t header[kPageHeader];
  if (!source.Read(at, header, kPageHeader) || std::string_view(reinterpret_cast<char*>(header), 4) != "OggS" ||
      header[4] != 0)
    return std::nullopt;
  const size_t segments = header[26];
  uint8_t lacing[255];
  if (!source.Read(at + kPageHeader, lacing, segments)) return std::nullopt;
  uint64_t body = 0;
  for (size_t i = 0; i < segments; ++i) body += lacing[i];
  const uint64_t length = kPageHeader + segments + body;
  buffer.resize(length);
  if (!source.Read(at, buffer.data(), length)) return std::nullopt;
  const uint32_t stored = uint32_t(buffer[kCrcAt]) | uint32_t(buffer[kCrcAt + 1]) << 8 |
                          uint32_t(buffer[kCrcAt + 2]) << 16 | uint32_t(buffer[kCrcAt + 3]) << 24;
  std::fill(buffer.begin() + kCrcAt, buffer.begin() + kCrcAt + 4, 0);
  if (crc.Of(buffer.data(), length) != stored) return std::nullopt;
  Page page;
  page.flags = header[5];
  page.serial = uint32_t(header[14]) | uint32_t(header[15]) << 8 | uint32_t(header[16]) << 16 | uint32_t(header[17]) << 24;
  page.length = length;
  return page;
}

}  // namespace

// An Ogg file is a run of pages, each with its checksum; every logical stream begins with a page
// that says so and ends with one that says so. The file ends after the page that ends its last
// open stream: a chained stream after it is taken for the next file, which on a card it far more
// often is.
WalkResult WalkOgg(ByteSource& source) {
  std::vector<uint8_t> buffer;
  std::vector<uint32_t> open;
  uint64_t at = 0;
  bool begun = false;
  for (;;) {
    const auto page = ReadPage(source, at, buffer);
    if (!page) {
      if (!begun) return WalkResult::None();
      // Between streams a file may simply end; inside one, a bad page breaks it.
      return open.empty() ? WalkResult::Measured(at) : WalkResult::BrokenAt(at);
    }
    const auto known = std::find(open.begin(), open.end(), page->serial);
    if (page->flags & kBeginOfStream) {
      if (known != open.end() || open.size() == kMaxStreams) return WalkResult::BrokenAt(at);
      open.push_back(page->serial);
      begun = true;
    } else if (known == open.end()) {
      if (!begun) return WalkResult::None();
      return open.empty() ? WalkResult::Measured(at) : WalkResult::BrokenAt(at);
    }
    at += page->length;
    if (page->flags & kEndOfStream) {
      open.erase(std::find(open.begin(), open.end(), page->serial));
      if (open.empty()) return WalkResult::Measured(at);
    }
  }
}

}  // namespace salvora
