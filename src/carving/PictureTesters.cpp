// Testers of the picture formats.
#include "carving/TesterInput.h"
#include "carving/Testers.h"

namespace salvora {
namespace {
bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }
bool IsLower(uint8_t c) { return c >= 'a' && c <= 'z'; }
}  // namespace

TypeCode TestGif(const uint8_t* bytes, int length) {
  const ByteView v = TesterInput(bytes, length, 8);
  // "GIF87a" / "GIF89a"
  if (v.Equals(0, "GIF") && IsDigit(v.U8(3)) && IsDigit(v.U8(4)) && IsLower(v.U8(5))) return kTypeGif;
  return kTypeNone;
}

TypeCode TestBmp(const uint8_t* bytes, int length) {
  const ByteView v = TesterInput(bytes, length, 40);
  if (!(v.Equals(0, "BM") || v.Equals(0, "BA"))) return kTypeNone;
  // Reserved words zero and the 40-byte information header.
  return (v.U16(6) == 0 && v.U16(8) == 0 && v.U32(14) == 40) ? kTypeBmp : kTypeNone;
}

// A JPEG may open with any segment: JFIF or Exif, but also an Adobe, ICC or XMP block, a comment,
// or (many cameras, phones and encoders) a quantisation table straight after the start marker.
// Beyond the two classic forms, the first segment must be one a decoder accepts before the frame,
// with a length that fits its kind and, when its end lies in this sector, another marker there.
namespace {

// The smallest length field each first marker may carry, or 0 for a marker that cannot come first.
uint16_t MinimumFirstSegment(uint8_t code) {
  if (code >= 0xE0 && code <= 0xEF) return 2;  // APP0-APP15
  switch (code) {
    case 0xFE: return 2;   // COM
    case 0xDB: return 67;  // DQT: one 8-bit table
    case 0xC4: return 19;  // DHT: class, counts
    case 0xDD: return 4;   // DRI: exactly 4
    case 0xC8: case 0xCC: return 0;  // JPG, DAC
    default: break;
  }
  if (code >= 0xC0 && code <= 0xCF) return 11;  // SOF0-SOF15: one component
  return 0;
}

bool SaneFirstSegment(ByteView v) {
  const uint8_t code = v.U8(3);
  const uint16_t minimum = MinimumFirstSegment(code);
  const uint16_t length = v.U16Be(4);
  if (minimum == 0 || length < minimum || (code == 0xDD && length != 4)) return false;
  const size_t next = 4 + size_t(length);
  return next >= v.size() || v.U8(next) == 0xFF;
}

}  // namespace

TypeCode TestJpeg(const uint8_t* bytes, int length) {
  static constexpr uint8_t kStart[3] = {0xFF, 0xD8, 0xFF};
  const ByteView v = TesterInput(bytes, length, 16);
  if (!v.Equals(0, kStart, 3)) return kTypeNone;
  if (v.U8(3) == 0xE0 && v.Equals(6, "JFIF")) return kTypeJpg;
  if (v.U8(3) == 0xE1 && v.Equals(6, "Exif")) return kTypeJpg;
  return SaneFirstSegment(v) ? kTypeJpg : kTypeNone;
}

TypeCode TestPng(const uint8_t* bytes, int length) {
  static constexpr uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
  const ByteView v = TesterInput(bytes, length, 8);
  return v.Equals(0, kSignature, 8) ? kTypePng : kTypeNone;
}

TypeCode TestPhotoshop(const uint8_t* bytes, int length) {
  const ByteView v = TesterInput(bytes, length, 40);
  return v.Equals(0, "8BPS") ? kTypePsd : kTypeNone;
}

TypeCode TestTiff(const uint8_t* bytes, int length) {
  static constexpr uint8_t kBigEndian[4] = {'M', 'M', 0x00, 0x2A};
  static constexpr uint8_t kLittleEndian[4] = {'I', 'I', 0x2A, 0x00};
  const ByteView v = TesterInput(bytes, length, 4);
  return (v.Equals(0, kBigEndian, 4) || v.Equals(0, kLittleEndian, 4)) ? kTypeTif : kTypeNone;
}

// A RIFF container of a WebP picture: lossy, lossless or extended.
TypeCode TestWebp(const uint8_t* bytes, int length) {
  const ByteView v = TesterInput(bytes, length, 16);
  if (!v.Equals(0, "RIFF") || !v.Equals(8, "WEBP")) return kTypeNone;
  return (v.Equals(12, "VP8 ") || v.Equals(12, "VP8L") || v.Equals(12, "VP8X")) ? kTypeWebp : kTypeNone;
}

TypeCode TestIcon(const uint8_t* bytes, int length) {
  static constexpr uint8_t kIconHeader[4] = {0x00, 0x00, 0x01, 0x00};
  const ByteView v = TesterInput(bytes, length, 16);
  if (!v.Equals(0, kIconHeader, 4)) return kTypeNone;
  const size_t count = v.U16(4);
  if (count == 0 || 6 + 16 * count > v.size()) return kTypeNone;
  // The images follow the directory back to back, in directory order.
  uint64_t expected = 6 + 16 * count;
  for (size_t i = 0; i < count; ++i) {
    const size_t entry = 6 + 16 * i;
    if (v.U8(entry + 3) != 0 || v.U32(entry + 12) != expected) return kTypeNone;
    expected += v.U32(entry + 8);
  }
  return kTypeIco;
}

}  // namespace salvora
