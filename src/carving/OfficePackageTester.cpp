// The office-package tester: a ZIP archive whose member names show a Word, Excel or PowerPoint
// package. It reads the archive's first sectors in rounds of four, looking at the names of local and
// central directory headers in turn.
#include <cstring>
#include <string_view>
#include <vector>

#include "carving/MeasureContext.h"
#include "carving/TesterInput.h"
#include "carving/Testers.h"

namespace salvora {
namespace {

constexpr size_t kCarry = 4;  // bytes kept from the previous round, for a split signature
constexpr uint32_t kSectorsPerRound = 4;
constexpr uint32_t kRounds = 5;
constexpr size_t kLocalNameOffset = 30;
constexpr size_t kCentralNameOffset = 46;

char LowerAscii(uint8_t c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : char(c); }

// True when more than prefix.size() bytes follow at and they start with prefix, case ignored.
bool NameStartsWith(const std::vector<uint8_t>& buffer, size_t at, std::string_view prefix) {
  if (at >= buffer.size() || buffer.size() - at <= prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (LowerAscii(buffer[at + i]) != prefix[i]) return false;
  return true;
}

TypeCode KindOfMemberName(const std::vector<uint8_t>& buffer, size_t nameAt) {
  if (NameStartsWith(buffer, nameAt, "word")) return kTypeDocx;
  if (NameStartsWith(buffer, nameAt, "ppt")) return kTypePptx;
  if (NameStartsWith(buffer, nameAt, "xl")) return kTypeXlsx;
  return kTypeNone;
}

// Offset of the next 4-byte signature at or after from and before end, or end.
size_t Find(const std::vector<uint8_t>& buffer, size_t from, size_t end, const char* signature) {
  for (size_t at = from; at + 4 <= end; ++at)
    if (std::memcmp(buffer.data() + at, signature, 4) == 0) return at;
  return end;
}

TypeCode KindOfRound(const std::vector<uint8_t>& buffer) {
  // Headers after the end of the central directory belong to something else.
  const size_t end = Find(buffer, 0, buffer.size(), "PK\x05\x06");
  size_t local = Find(buffer, 0, end, "PK\x03\x04");
  size_t central = Find(buffer, 0, end, "PK\x01\x02");
  while (local < end || central < end) {
    if (local < end) {
      if (TypeCode kind = KindOfMemberName(buffer, local + kLocalNameOffset); kind != kTypeNone)
        return kind;
      local = Find(buffer, local + 1, end, "PK\x03\x04");
    }
    if (central < end) {
      if (TypeCode kind = KindOfMemberName(buffer, central + kCentralNameOffset); kind != kTypeNone)
        return kind;
      central = Find(buffer, central + 1, end, "PK\x01\x02");
    }
  }
  return kTypeNone;
}

}  // namespace

TypeCode TestOfficePackage(const uint8_t* bytes, int length) {
  const ByteView v = TesterInput(bytes, length, 50);
  if (!v.size() || !(v.Equals(0, "PK\x03\x04") || v.Equals(31, "[Content_Types].xml")))
    return kTypeNone;
  MeasureContext& context = MeasureContext::Instance();
  if (context.sectorSize <= 0) return kTypeNone;
  const size_t roundBytes = size_t(kSectorsPerRound) * size_t(context.sectorSize);
  std::vector<uint8_t> buffer(kCarry + roundBytes, 0);
  for (uint32_t round = 0; round < kRounds; ++round) {
    const uint64_t first = context.sectorUnderTest + uint64_t(round) * kSectorsPerRound;
    if (!context.ReadSectors(buffer.data() + kCarry, kSectorsPerRound, first)) return kTypeNone;
    if (TypeCode kind = KindOfRound(buffer); kind != kTypeNone) return kind;
    std::memcpy(buffer.data(), buffer.data() + buffer.size() - kCarry, kCarry);
  }
  return kTypeNone;
}

}  // namespace salvora
