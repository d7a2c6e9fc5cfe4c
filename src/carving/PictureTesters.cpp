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

TypeCode TestJpeg(const uint8_t* bytes, int length) {
  static constexpr uint8_t kJfif[4] = {0xFF, 0xD8, 0xFF, 0xE0};
  static constexpr uint8_t kExif[4] = {0xFF, 0xD8, 0xFF, 0xE1};
  const ByteView v = TesterInput(bytes, length, 16);
  if (v.Equals(0, kJfif, 4) && v.Equals(6, "JFIF")) return kTypeJpg;
  if (v.Equals(0, kExif, 4) && v.Equals(6, "Exif")) return kTypeJpg;
  return kTypeNone;
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
