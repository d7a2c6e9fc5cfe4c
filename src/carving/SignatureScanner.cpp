#include "carving/SignatureScanner.h"

#include <cinttypes>
#include <cstdio>

#include "carving/FormatFamily.h"
#include "carving/FormatTable.h"
#include "carving/LooseMagic.h"
#include "carving/MeasureContext.h"
#include "carving/StructureMeasure.h"
#include "carving/TesterDispatch.h"
#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

const FormatEntry* FirstRowWithExtension(std::string_view extension) {
  for (size_t i = 0; i < kFormatRowCount; ++i)
    if (EqualsIgnoringCase(FormatTable[i].extension, extension)) return &FormatTable[i];
  return nullptr;
}

}  // namespace

TypeCode TypeCodeOf(std::string_view extension) {
  const FormatEntry* row = FirstRowWithExtension(extension);
  return row ? row->typeCode : kTypeNone;
}

TypeCode IdentifySector(const uint8_t* bytes, int length) {
  if (bytes == nullptr || length <= 0) return kTypeNone;
  for (Tester tester : TesterDispatch::Instance().CandidatesFor(bytes[0])) {
    const TypeCode answer = tester(bytes, length);
    if (answer != kTypeNone) return answer;
  }
  return kTypeNone;
}

TypeCode IdentifySectorInTableOrder(const uint8_t* bytes, int length) {
  for (size_t i = 0; i < kFormatRowCount; ++i) {
    // Rows that share a tester give the same answer; run each tester once.
    if (i > 0 && FormatTable[i].tester == FormatTable[i - 1].tester) continue;
    const TypeCode answer = FormatTable[i].tester(bytes, length);
    if (answer != kTypeNone) return answer;
  }
  return kTypeNone;
}

int IdentifyAndMeasure(const uint8_t* bytes, int length, uint64_t sectorAddress, uint64_t processed,
                       uint64_t total, int remainingSeconds, uint64_t foundCount,
                       SectorReader* reader, int sectorSize, std::string& name, TypeCode& typeCode,
                       uint64_t& size) {
  MeasureContext& context = MeasureContext::Instance();
  context.sectorSize = sectorSize;
  context.reader = reader;
  context.startSector = sectorAddress;
  context.sectorUnderTest = sectorAddress;
  context.processed = processed;
  context.total = total;
  context.remainingSeconds = remainingSeconds;
  context.foundCount = foundCount;

  // The testers still see the strict transport-stream flag the previous call left.
  const TypeCode answer = IdentifySector(bytes, length);
  context.strictTransportStream = true;
  context.bdavInProgress = false;

  const FormatEntry* row = answer == kTypeNone ? nullptr : CanonicalRow(answer);
  if (row == nullptr || row->sizeRule == nullptr) return kInvalidParameter;
  if (answer != kTypeTs) context.strictTransportStream = false;
  if (answer == kTypeMts) context.bdavInProgress = true;

  char text[kCarvedNameMax + 1];
  std::snprintf(text, sizeof text, "%lld.%s", static_cast<long long>(sectorAddress), row->extension);
  name = text;
  typeCode = row->typeCode;

  // The rules read ahead through the work buffer; keep it alive for this measurement even when no
  // engine holds it.
  WorkBufferLease lease;
  context.lastCallbackAnswer = 0;
  size = row->sizeRule(bytes, length);
  if (context.lastCallbackAnswer == kScanCancelled) return kScanCancelled;
  return size == kNotCarved ? kInvalidParameter : kOk;
}

namespace {

// Aims the measure context at the sector a check looks at.
void AimAt(SectorReader* reader, int sectorSize, uint64_t sectorAddress) {
  MeasureContext& context = MeasureContext::Instance();
  context.sectorSize = sectorSize;
  context.startSector = sectorAddress;
  context.sectorUnderTest = sectorAddress;
  context.reader = reader;
  context.strictTransportStream = false;
}

}  // namespace

int MatchesSignature(const uint8_t* bytes, int length, std::string_view extension, SectorReader* reader,
                     int sectorSize, uint64_t sectorAddress) {
  const FormatEntry* row = FirstRowWithExtension(extension);
  if (row == nullptr) return 1;
  AimAt(reader, sectorSize, sectorAddress);
  return row->tester(bytes, length) == row->typeCode ? 1 : 0;
}

int CheckSignature(const uint8_t* bytes, int length, std::string_view extension,
                   SectorReader* reader, int sectorSize, uint64_t sectorAddress) {
  const FormatEntry* row = FirstRowWithExtension(extension);
  if (row == nullptr) return 1;
  AimAt(reader, sectorSize, sectorAddress);
  if (row->tester(bytes, length) == row->typeCode) return 1;
  if (bytes == nullptr || length <= 0) return 0;  // nothing was read
  // Hiding a file the file system still lists loses it for good. A first sector that carries the
  // bytes every file of the format starts with may still be the file's own (a form the tester does
  // not know: a JPEG opening with a comment, a raw whose maker mark lies further on): it is listed,
  // and the content verdict says what it is worth. One that lacks them, is blank, plain text,
  // file-system metadata or the start of another family's format was overwritten.
  switch (LooseMagicOf(row->typeCode, bytes, length)) {
    case MagicAnswer::Carries: return 1;
    case MagicAnswer::Lacks: return 0;
    case MagicAnswer::Unknown: break;
  }
  if (IsBlankSector(bytes, length) || IsTextSector(bytes, length) || IsMetadataSector(bytes, length))
    return 0;
  MeasureContext::Instance().sectorUnderTest = sectorAddress;
  const TypeCode found = IdentifySector(bytes, length);
  return (found == kTypeNone || SameFamily(found, row->typeCode)) ? 1 : 0;
}

}  // namespace salvora
