// Testers of the camera raw formats. Most raws are TIFF files told apart by a mark of their maker
// in the header or the first directory; Fujifilm's has a header of its own, Olympus and Panasonic
// change the TIFF magic number.
#include <string_view>

#include "carving/TesterInput.h"
#include "carving/Testers.h"

namespace salvora {
namespace {

constexpr uint16_t kMake = 271;
constexpr uint16_t kDngVersion = 50706;
constexpr size_t kEntrySize = 12;
constexpr uint16_t kAscii = 2;

// The first directory of a TIFF header, read in the header's byte order, as far as it lies in the
// sector: cheap enough for every sector that starts like a TIFF.
class FirstDirectory {
 public:
  explicit FirstDirectory(ByteView v) : v_(v), big_(v.Equals(0, "MM")) {}

  TypeCode Kind() const {
    const uint32_t at = U32(4);
    if (at < 8 || !v_.Has(at, 2)) return kTypeNone;
    const size_t count = U16(at);
    std::string_view make;
    for (size_t i = 0; i < count; ++i) {
      const size_t entry = at + 2 + kEntrySize * i;
      if (!v_.Has(entry, kEntrySize)) break;
      const uint16_t tag = U16(entry);
      if (tag == kDngVersion) return kTypeDng;
      if (tag == kMake && U16(entry + 2) == kAscii) make = Text(entry);
    }
    if (make.starts_with("NIKON")) return kTypeNef;
    if (make.starts_with("SONY")) return kTypeArw;
    if (make.starts_with("PENTAX") || make.starts_with("RICOH")) return kTypePef;
    return kTypeNone;
  }

 private:
  uint16_t U16(size_t at) const { return big_ ? v_.U16Be(at) : v_.U16(at); }
  uint32_t U32(size_t at) const { return big_ ? v_.U32Be(at) : v_.U32(at); }

  // An ASCII value: in the entry when it fits in 4 bytes, else at its offset if that is in view.
  std::string_view Text(size_t entry) const {
    const uint32_t count = U32(entry + 4);
    const size_t at = count <= 4 ? entry + 8 : U32(entry + 8);
    if (count == 0 || count > 64 || !v_.Has(at, count)) return {};
    return std::string_view(reinterpret_cast<const char*>(v_.data() + at), count);
  }

  ByteView v_;
  bool big_;
};

}  // namespace

TypeCode TestTiffRaw(const uint8_t* bytes, int length) {
  static constexpr uint8_t kLittleEndian[4] = {'I', 'I', 0x2A, 0x00};
  static constexpr uint8_t kBigEndian[4] = {'M', 'M', 0x00, 0x2A};
  const ByteView v = TesterInput(bytes, length, 16);
  if (!v.Equals(0, kLittleEndian, 4) && !v.Equals(0, kBigEndian, 4)) return kTypeNone;
  // Canon marks its raws right after the header: "CR", version 2.
  if (v.Equals(8, "CR") && v.U8(10) == 2) return kTypeCr2;
  return FirstDirectory(v).Kind();
}

TypeCode TestFujifilmRaw(const uint8_t* bytes, int length) {
  const ByteView v = TesterInput(bytes, length, 16);
  return v.Equals(0, "FUJIFILMCCD-RAW ") ? kTypeRaf : kTypeNone;
}

TypeCode TestOlympusRaw(const uint8_t* bytes, int length) {
  const ByteView v = TesterInput(bytes, length, 8);
  if (!v.Equals(0, "IIRO") && !v.Equals(0, "IIRS") && !v.Equals(0, "MMOR")) return kTypeNone;
  const uint32_t first = v.Equals(0, "MM") ? v.U32Be(4) : v.U32(4);
  return first >= 8 ? kTypeOrf : kTypeNone;
}

TypeCode TestPanasonicRaw(const uint8_t* bytes, int length) {
  static constexpr uint8_t kHeader[4] = {'I', 'I', 'U', 0x00};
  const ByteView v = TesterInput(bytes, length, 8);
  return (v.Equals(0, kHeader, 4) && v.U32(4) >= 8) ? kTypeRw2 : kTypeNone;
}

}  // namespace salvora
