// Testers of documents, archives, executables, databases and fonts recognised from the first sector.
#include <string_view>

#include "carving/TesterInput.h"
#include "carving/Testers.h"

namespace salvora {
namespace {
constexpr uint8_t kCompoundMagic[4] = {0xD0, 0xCF, 0x11, 0xE0};
constexpr uint8_t kTrueTypeVersion[4] = {0x00, 0x01, 0x00, 0x00};
}  // namespace

TypeCode TestCompoundPrefix(const uint8_t* bytes, int length) {
  const ByteView v = TesterInput(bytes, length, 16);
  return v.Equals(0, kCompoundMagic, 4) ? kTypeFla : kTypeNone;
}

TypeCode TestPdf(const uint8_t* bytes, int length) {
  const ByteView v = TesterInput(bytes, length, 5);
  return v.Equals(0, "%PDF-") ? kTypePdf : kTypeNone;
}

TypeCode TestGzip(const uint8_t* bytes, int length) {
  static constexpr uint8_t kDeflateMember[3] = {0x1F, 0x8B, 0x08};
  const ByteView v = TesterInput(bytes, length, 16);
  if (!v.Equals(0, kDeflateMember, 3)) return kTypeNone;
  const uint8_t flags = v.U8(3), extraFlags = v.U8(8), os = v.U8(9);
  if (flags != 0 && flags != 8) return kTypeNone;  // nothing, or only a file name
  if (extraFlags != 2 && extraFlags != 4) return kTypeNone;  // best or fastest compression
  return (os < 14 || os == 0xFF) ? kTypeGz : kTypeNone;
}

TypeCode Test7z(const uint8_t* bytes, int length) {
  static constexpr uint8_t kSignature[5] = {0x37, 0x7A, 0xBC, 0xAF, 0x27};
  const ByteView v = TesterInput(bytes, length, 5);
  return v.Equals(0, kSignature, 5) ? kType7z : kTypeNone;
}

TypeCode TestZip(const uint8_t* bytes, int length) {
  const ByteView v = TesterInput(bytes, length, 48);
  return v.Equals(0, "PK\x03\x04") ? kTypeZip : kTypeNone;
}

TypeCode TestRar(const uint8_t* bytes, int length) {
  static constexpr uint8_t kSignature[7] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};
  const ByteView v = TesterInput(bytes, length, 7);
  return v.Equals(0, kSignature, 7) ? kTypeRar : kTypeNone;
}

TypeCode TestCabinet(const uint8_t* bytes, int length) {
  const ByteView v = TesterInput(bytes, length, 36);
  return v.Equals(0, "MSCF") ? kTypeCab : kTypeNone;
}

TypeCode TestPeImage(const uint8_t* bytes, int length) {
  constexpr uint32_t kLastHeaderOffset = 488;  // the file header must end within the first sector
  constexpr uint16_t kExecutableImage = 0x0002, kSystemFile = 0x1000, kDll = 0x2000;
  const ByteView v = TesterInput(bytes, length, 512);
  if (!v.Equals(0, "MZ")) return kTypeNone;
  const uint32_t header = v.U32(60);
  if (header > kLastHeaderOffset || !v.Equals(header, std::string_view("PE\0\0", 4))) return kTypeNone;
  const uint16_t characteristics = v.U16(header + 22);
  if (!(characteristics & kExecutableImage)) return kTypeNone;
  if (characteristics & kSystemFile) return kTypeSys;
  if (characteristics & kDll) return kTypeDll;
  return kTypeExe;
}

TypeCode TestGhostImage(const uint8_t* bytes, int length) {
  static constexpr uint8_t kSignature[4] = {0xFE, 0xEF, 0x00, 0x00};
  const ByteView v = TesterInput(bytes, length, 4);
  return v.Equals(0, kSignature, 4) ? kTypeGho : kTypeNone;
}

TypeCode TestSqlite(const uint8_t* bytes, int length) {
  const ByteView v = TesterInput(bytes, length, 16);
  return v.Equals(0, std::string_view("SQLite format 3\0", 16)) ? kTypeDb : kTypeNone;
}

TypeCode TestMailFolder(const uint8_t* bytes, int length) {
  static constexpr uint8_t kSignature[4] = {0xCF, 0xAD, 0x12, 0xFE};
  const ByteView v = TesterInput(bytes, length, 16);
  return v.Equals(0, kSignature, 4) ? kTypeDbx : kTypeNone;
}

TypeCode TestPersonalFolders(const uint8_t* bytes, int length) {
  const ByteView v = TesterInput(bytes, length, 16);
  return (v.Equals(0, "!BDN") && v.Equals(8, "SM")) ? kTypePst : kTypeNone;
}

TypeCode TestTrueType(const uint8_t* bytes, int length) {
  const ByteView v = TesterInput(bytes, length, 16);
  if (!v.Equals(0, kTrueTypeVersion, 4)) return kTypeNone;
  const size_t tables = v.U16Be(4);
  if (tables == 0 || v.U16(6) == 0 || v.U16(8) == 0 || v.U16(10) == 0) return kTypeNone;
  if (16 * tables + 16 > v.size()) return kTypeNone;
  return v.Equals(12 + 16 * tables, kTrueTypeVersion, 4) ? kTypeTtf : kTypeNone;
}

}  // namespace salvora
