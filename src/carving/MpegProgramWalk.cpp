#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint32_t kPackStart = 0x000001BA;
constexpr uint32_t kEndCode = 0x000001B9;
constexpr uint32_t kSystemHeader = 0x000001BB;
constexpr uint64_t kMpeg1Pack = 12;
constexpr uint64_t kMpeg2Pack = 14;
constexpr uint64_t kStuffingAt = 13;
constexpr uint64_t kPacketHeader = 6;  // start code and 16-bit length
constexpr uint32_t kMaxUnits = 1u << 24;

}  // namespace

// MPEG program stream: packs, each a pack header followed by packets of declared lengths, to the
// program end code. Without an end code the stream ends where the next bytes start no pack.
WalkResult WalkMpegProgram(ByteSource& source) {
  if (source.U32Be(0) != kPackStart) return WalkResult::None();
  uint64_t at = 0;
  for (uint32_t units = 0; units < kMaxUnits; ++units) {
    const auto code = source.U32Be(at);
    if (code == kEndCode) return WalkResult::Measured(at + 4);
    if (code == kPackStart) {
      const auto mode = source.U8(at + 4);
      if (!mode) break;
      if ((*mode & 0xC0) == 0x40) {  // MPEG-2: the stuffing length ends the pack header
        const auto stuffing = source.U8(at + kStuffingAt);
        if (!stuffing) break;
        at += kMpeg2Pack + (*stuffing & 7);
      } else if ((*mode & 0xF0) == 0x20) {
        at += kMpeg1Pack;
      } else {
        return WalkResult::BrokenAt(at);
      }
      continue;
    }
    // A packet (system header or stream) of a declared length.
    if (!code || (*code >> 8) != 1 || (*code & 0xFF) < (kSystemHeader & 0xFF)) break;
    const auto length = source.U16Be(at + 4);
    if (!length) break;
    at += kPacketHeader + *length;
  }
  if (at == 0 || at > source.Limit()) return WalkResult::BrokenAt(at);
  return WalkResult::Measured(at);
}

}  // namespace salvora
