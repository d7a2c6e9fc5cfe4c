#include <cstring>

#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint8_t kMarker = 0xFF;
constexpr uint8_t kStartOfImage = 0xD8;
constexpr uint8_t kEndOfImage = 0xD9;
constexpr uint8_t kStartOfScan = 0xDA;

bool IsRestart(uint8_t code) { return code >= 0xD0 && code <= 0xD7; }
// Markers with no length field: TEM and the restarts.
bool IsStandalone(uint8_t code) { return code == 0x01 || IsRestart(code); }
// Codes that never start a segment: stuffing, the reserved range, and a second SOI.
bool IsInvalid(uint8_t code) { return code == 0x00 || (code >= 0x02 && code <= 0xBF) || code == kStartOfImage; }

// From the first byte of a scan's entropy-coded data, the offset of the marker that ends it
// (stuffed zero bytes, restarts and fill bytes belong to the data), or nullopt when the source
// ends first.
std::optional<uint64_t> EndOfEntropyData(ByteSource& source, uint64_t at) {
  for (;;) {
    size_t available = 0;
    const uint8_t* p = source.Window(at, available);
    if (!p) return std::nullopt;
    const void* hit = std::memchr(p, kMarker, available);
    if (!hit) {
      at += available;
      continue;
    }
    const uint64_t ff = at + uint64_t(static_cast<const uint8_t*>(hit) - p);
    const auto next = source.U8(ff + 1);
    if (!next) return std::nullopt;
    if (*next == 0x00 || IsRestart(*next)) {
      at = ff + 2;
    } else if (*next == kMarker) {
      at = ff + 1;  // a fill byte before the marker
    } else {
      return ff;
    }
  }
}

}  // namespace

WalkResult WalkJpeg(ByteSource& source) {
  if (source.U8(0) != kMarker || source.U8(1) != kStartOfImage) return WalkResult::None();
  uint64_t at = 2;
  for (;;) {
    if (source.U8(at) != kMarker) return WalkResult::BrokenAt(at);
    std::optional<uint8_t> code;
    do code = source.U8(++at);
    while (code == kMarker);
    if (!code) return WalkResult::BrokenAt(at);
    ++at;
    if (*code == kEndOfImage) return WalkResult::Measured(at);
    if (IsInvalid(*code)) return WalkResult::BrokenAt(at - 2);
    if (IsStandalone(*code)) continue;
    const auto length = source.U16Be(at);
    if (!length || *length < 2) return WalkResult::BrokenAt(at);
    at += *length;
    if (*code == kStartOfScan) {
      const auto end = EndOfEntropyData(source, at);
      if (!end) return WalkResult::BrokenAt(at);
      at = *end;
    }
  }
}

}  // namespace salvora
