#include <cstring>

#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint64_t kId3v2Header = 10;
constexpr uint64_t kId3v2SizeAt = 6;
constexpr uint64_t kId3v2FlagsAt = 5;
constexpr uint8_t kId3v2HasFooter = 0x10;
constexpr uint64_t kId3v1Size = 128;
constexpr uint64_t kApeHeaderOrFooter = 32;
constexpr uint64_t kApeSizeAt = 12;
constexpr uint64_t kApeFlagsAt = 20;
constexpr uint32_t kApeIsHeader = 1u << 29;

// The length of the MPEG audio frame whose header is h, or 0 when h is no frame header.
uint64_t FrameLength(uint32_t h) {
  static constexpr uint16_t kBitrates[2][3][15] = {
      // MPEG-1: layers I, II, III
      {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
       {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
       {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
      // MPEG-2 and 2.5
      {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
  static constexpr uint32_t kRates[3] = {44100, 48000, 32000};
  if ((h >> 21) != 0x7FF) return 0;
  const uint32_t version = (h >> 19) & 3;  // 0: 2.5, 2: 2, 3: 1
  const uint32_t layerBits = (h >> 17) & 3;
  const uint32_t bitrateIndex = (h >> 12) & 15;
  const uint32_t rateIndex = (h >> 10) & 3;
  if (version == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
    return 0;
  const int layer = 3 - int(layerBits);  // 0: I, 1: II, 2: III
  const bool mpeg1 = version == 3;
  const uint64_t bitrate = uint64_t(kBitrates[mpeg1 ? 0 : 1][layer][bitrateIndex]) * 1000;
  const uint64_t rate = kRates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
  const uint64_t padding = (h >> 9) & 1;
  if (layer == 0) return (12 * bitrate / rate + padding) * 4;
  const uint64_t factor = (layer == 2 && !mpeg1) ? 72 : 144;
  return factor * bitrate / rate + padding;
}

// Past the ID3v2 tag at the start, or nullopt.
std::optional<uint64_t> SkipId3v2(ByteSource& source) {
  uint8_t size[4];
  const auto flags = source.U8(kId3v2FlagsAt);
  if (!flags || !source.Read(kId3v2SizeAt, size, 4)) return std::nullopt;
  uint64_t length = 0;
  for (uint8_t b : size) {
    if (b & 0x80) return std::nullopt;  // sizes are synchsafe: 7 bits a byte
    length = (length << 7) | b;
  }
  return kId3v2Header + length + ((*flags & kId3v2HasFooter) ? kId3v2Header : 0);
}

// Past an APE tag at `at` (its header, items and footer), or `at` when none stands there.
uint64_t SkipApeTag(ByteSource& source, uint64_t at) {
  char preamble[8];
  if (!source.Read(at, preamble, 8) || std::memcmp(preamble, "APETAGEX", 8) != 0) return at;
  const auto size = source.U32Le(at + kApeSizeAt);  // items and footer
  const auto flags = source.U32Le(at + kApeFlagsAt);
  if (!size || !flags || *size < kApeHeaderOrFooter) return at;
  const uint64_t end = at + ((*flags & kApeIsHeader) ? kApeHeaderOrFooter : 0) + *size;
  return end <= source.Limit() ? end : at;
}

}  // namespace

// MP3 has no length of its own: after the ID3v2 tag come frames, each of a length its header
// gives, then optionally an APE tag and an ID3v1 tag. The file ends where no frame follows.
WalkResult WalkMp3(ByteSource& source) {
  char magic[3];
  if (!source.Read(0, magic, 3) || std::memcmp(magic, "ID3", 3) != 0) return WalkResult::None();
  const auto audio = SkipId3v2(source);
  if (!audio) return WalkResult::BrokenAt(kId3v2SizeAt);
  uint64_t at = *audio;
  uint64_t frames = 0;
  for (;;) {
    const auto header = source.U32Be(at);
    const uint64_t length = header ? FrameLength(*header) : 0;
    if (length == 0 || length > source.Limit() - at) break;
    at += length;
    ++frames;
  }
  if (frames == 0) return WalkResult::BrokenAt(at);
  at = SkipApeTag(source, at);
  char tag[3];
  if (source.Read(at, tag, 3) && std::memcmp(tag, "TAG", 3) == 0 && kId3v1Size <= source.Limit() - at)
    at += kId3v1Size;
  return WalkResult::Measured(at);
}

}  // namespace salvora
