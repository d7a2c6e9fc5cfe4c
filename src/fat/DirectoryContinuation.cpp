#include "fat/DirectoryContinuation.h"

#include "fatdir/FatDirEntry.h"
#include "fatdir/FatDirectorySector.h"

namespace salvora {
namespace {

constexpr uint8_t kSequenceMask = 0x1F;

// A deleted long-name part with checksum.
bool IsDeletedPart(const FatDirEntry& e, uint8_t checksum) {
  return e.IsLongName() && e.IsDeleted() && e.LongNameChecksum() == checksum;
}

bool HoldsNameEnd(const FatDirEntry& e) {
  for (int i = 0; i < 13; ++i)
    if (e.LongNameChar(i) == 0) return true;
  return false;
}

}  // namespace

bool MayCloseDeletedRun(const uint8_t* runBytes, size_t runLength, const uint8_t* sector, size_t sectorLength) {
  if (runLength < FatDirEntry::kSize || runLength % FatDirEntry::kSize != 0) return false;
  const uint8_t checksum = FatDirEntry(runBytes).LongNameChecksum();
  size_t parts = 0;
  for (size_t at = 0; at < runLength; at += FatDirEntry::kSize, ++parts) {
    FatDirEntry e(runBytes + at);
    if (!IsDeletedPart(e, checksum) || (at > 0 && HoldsNameEnd(e))) return false;
  }
  for (size_t at = 0; at + FatDirEntry::kSize <= sectorLength; at += FatDirEntry::kSize, ++parts) {
    FatDirEntry e(ByteView(sector + at, FatDirEntry::kSize));
    if (parts > size_t(FatDirEntry::kMaxLongNameParts)) return false;
    if (IsDeletedPart(e, checksum)) {
      if (HoldsNameEnd(e)) return false;
      continue;
    }
    return at > 0 && e.IsDeleted() && !e.IsLongName() && IsPlausibleDirEntry(sector + at);
  }
  return true;  // parts up to the sector's end: its 8.3 entry follows in the next one
}

void DirectoryContinuation::Clear() {
  last_ = Parsed{};
  joined_.clear();
}

uint32_t DirectoryContinuation::FolderOf(int geometry, uint32_t cluster) const {
  auto it = joined_.find(Key(geometry, cluster));
  return it == joined_.end() ? cluster : it->second;
}

void DirectoryContinuation::Join(int geometry, uint32_t cluster, uint32_t folder) {
  if (cluster != folder) joined_[Key(geometry, cluster)] = folder;
}

void DirectoryContinuation::NoteParsed(int geometry, uint32_t folder, bool fullClusterEnd) {
  last_ = Parsed{geometry >= 0, geometry, folder, fullClusterEnd};
}

uint32_t DirectoryContinuation::NearestOpenFolder(int geometry, const uint8_t* sector) const {
  if (!last_.valid || !last_.fullClusterEnd || last_.geometry != geometry || last_.folder < 2)
    return 0;
  FatDirEntry first(sector);
  if (first.IsEndMarker() || !IsPlausibleDirEntry(sector)) return 0;
  // A run's later part first: the run began somewhere this folder did not leave it open.
  if (first.IsLongName() && !first.IsDeleted() &&
      (first.Sequence() & FatDirEntry::kLastLongNameFlag) == 0)
    return 0;
  return last_.folder;
}

bool ClosesLongNameRun(const uint8_t* runBytes, size_t runLength, const uint8_t* sector) {
  if (runLength < FatDirEntry::kSize || runLength % FatDirEntry::kSize != 0) return false;
  // The run itself must be whole: parts counting down from the opening one, one checksum.
  FatDirEntry opening(runBytes);
  if (!opening.IsLongName() || (opening.Sequence() & FatDirEntry::kLastLongNameFlag) == 0) return false;
  const uint8_t checksum = opening.LongNameChecksum();
  uint8_t part = opening.Sequence() & kSequenceMask;
  for (size_t at = FatDirEntry::kSize; at < runLength; at += FatDirEntry::kSize) {
    FatDirEntry e(runBytes + at);
    if (!e.IsLongName() || e.Sequence() != part - 1 || e.LongNameChecksum() != checksum) return false;
    --part;
  }
  FatDirEntry next(sector);
  if (next.IsEndMarker() || next.IsDeleted() || !IsPlausibleDirEntry(sector)) return false;
  if (next.IsLongName())
    return part > 1 && next.Sequence() == part - 1 && next.LongNameChecksum() == checksum;
  return part == 1 && next.ShortNameChecksum() == checksum;
}

}  // namespace salvora
