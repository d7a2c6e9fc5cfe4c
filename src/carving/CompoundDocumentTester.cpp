// The compound-document tester: after the header signature it tells a Word, Excel or PowerPoint file
// from other compound documents by the stream that follows the header and by the root entry's
// class identifier or the directory's stream names.
#include <string_view>
#include <vector>

#include "carving/MeasureContext.h"
#include "carving/TesterInput.h"
#include "carving/Testers.h"

namespace salvora {
namespace {

constexpr uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr size_t kFirstDirectorySectorField = 48;
constexpr size_t kRootClassIdOffset = 80;
constexpr size_t kDirectoryEntryBytes = 128;

struct ClassId {
  uint32_t a, b, c, d;
};

bool HasClassId(ByteView v, size_t at, const ClassId& id) {
  return v.U32(at) == id.a && v.U32(at + 4) == id.b && v.U32(at + 8) == id.c &&
         v.U32(at + 12) == id.d;
}

// The stream that follows the header: the Word file information block or an Excel BOF record.
TypeCode KindFromFirstStream(ByteView next) {
  if (next.U16(0) == 0xA5EC) return kTypeDoc;
  if (next.U16(0) == 0x0809 && next.U16(2) == 0x0010 && next.U16(4) == 0x0600) return kTypeXls;
  return kTypeNone;
}

TypeCode KindFromRootClassId(ByteView directory) {
  static constexpr ClassId kWord{0x00020906, 0, 0xC0, 0x46000000};
  static constexpr ClassId kExcel5{0x00020810, 0, 0xC0, 0x46000000};
  static constexpr ClassId kExcel8{0x00020820, 0, 0xC0, 0x46000000};
  static constexpr ClassId kPowerPoint{0x64818D10, 0x11CF4F9B, 0xAA00EA86, 0xE829B900};
  if (HasClassId(directory, kRootClassIdOffset, kWord)) return kTypeDoc;
  if (HasClassId(directory, kRootClassIdOffset, kExcel8) ||
      HasClassId(directory, kRootClassIdOffset, kExcel5))
    return kTypeXls;
  if (HasClassId(directory, kRootClassIdOffset, kPowerPoint)) return kTypePpt;
  return kTypeNone;
}

uint16_t LowerUtf16Ascii(uint16_t c) { return (c >= 'A' && c <= 'Z') ? uint16_t(c - 'A' + 'a') : c; }

// Compares the first name.size() UTF-16 characters of a directory entry's name, case ignored.
bool EntryNameStartsWith(ByteView entry, std::string_view name) {
  for (size_t i = 0; i < name.size(); ++i) {
    if (!entry.Has(2 * i, 2)) return false;
    if (LowerUtf16Ascii(entry.U16(2 * i)) != LowerUtf16Ascii(uint8_t(name[i]))) return false;
  }
  return true;
}

TypeCode KindFromStreamNames(ByteView directory) {
  for (size_t at = 0; at + kDirectoryEntryBytes <= directory.size(); at += kDirectoryEntryBytes) {
    const ByteView entry = directory.Sub(at, kDirectoryEntryBytes);
    if (EntryNameStartsWith(entry, "WordDocument")) return kTypeDoc;
    if (EntryNameStartsWith(entry, "Workbook")) return kTypeXls;
    if (EntryNameStartsWith(entry, "PowerPoint Document")) return kTypePpt;
  }
  return kTypeNone;
}

TypeCode KindOfCompoundDocument(ByteView header) {
  MeasureContext& context = MeasureContext::Instance();
  if (context.sectorSize <= 0) return kTypeOle;
  std::vector<uint8_t> sector(size_t(context.sectorSize), 0);
  const ByteView view(sector.data(), sector.size());

  if (!context.ReadSectors(sector.data(), 1, context.sectorUnderTest + 1)) return kTypeOle;
  if (TypeCode kind = KindFromFirstStream(view); kind != kTypeNone) return kind;

  const uint64_t directory = context.sectorUnderTest + 1 + header.U32(kFirstDirectorySectorField);
  if (!context.ReadSectors(sector.data(), 1, directory)) return kTypeOle;
  if (TypeCode kind = KindFromRootClassId(view); kind != kTypeNone) return kind;
  if (TypeCode kind = KindFromStreamNames(view); kind != kTypeNone) return kind;
  return kTypeOle;
}

}  // namespace

TypeCode TestCompoundDocument(const uint8_t* bytes, int length) {
  const ByteView v = TesterInput(bytes, length, 8);
  if (!v.Equals(0, kSignature, 8)) return kTypeNone;
  return KindOfCompoundDocument(v);
}

}  // namespace salvora
