#include <cstring>

#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr char kMagic[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f', 'o', 'r', 'm', 'a', 't', ' ', '3', 0};
constexpr uint64_t kPageSizeAt = 16;
constexpr uint64_t kPayloadFractionsAt = 21;
constexpr uint64_t kChangeCounterAt = 24;
constexpr uint64_t kPageCountAt = 28;
constexpr uint64_t kValidForAt = 92;

}  // namespace

// The header's page count is only kept up to date by writers of version 3.7.0 on, which say so
// by storing the change counter again at 92; an older file's count is not trusted.
WalkResult WalkSqlite(ByteSource& source) {
  char magic[16];
  if (!source.Read(0, magic, 16) || std::memcmp(magic, kMagic, 16) != 0) return WalkResult::None();
  const auto pageSize16 = source.U16Be(kPageSizeAt);
  uint8_t fractions[3];
  const auto counter = source.U32Be(kChangeCounterAt);
  const auto pages = source.U32Be(kPageCountAt);
  const auto validFor = source.U32Be(kValidForAt);
  if (!pageSize16 || !counter || !pages || !validFor || !source.Read(kPayloadFractionsAt, fractions, 3))
    return WalkResult::BrokenAt(0);
  const uint64_t pageSize = *pageSize16 == 1 ? 65536 : *pageSize16;
  const bool powerOfTwo = pageSize >= 512 && (pageSize & (pageSize - 1)) == 0;
  if (!powerOfTwo || fractions[0] != 64 || fractions[1] != 32 || fractions[2] != 32)
    return WalkResult::BrokenAt(kPageSizeAt);
  if (*validFor != *counter || *pages == 0) return WalkResult::None();
  const uint64_t length = pageSize * *pages;
  if (length > source.Limit()) return WalkResult::BrokenAt(source.Limit());
  return WalkResult::Measured(length, pageSize);
}

}  // namespace salvora
