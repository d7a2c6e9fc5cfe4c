#include "fatdir/FatDirectorySector.h"

#include <cstring>

#include "fatdir/FatDirEntry.h"

namespace salvora {
namespace {

constexpr size_t kEntry = FatDirEntry::kSize;
constexpr int kMaxLongNameSequence = FatDirEntry::kMaxLongNameParts;
constexpr size_t kMaxRunAhead = FatDirEntry::kMaxLongNameParts;

constexpr uint16_t FatDate(int year, int month, int day) {
  return uint16_t(((year - 1980) << 9) | (month << 5) | day);
}
// Timestamps compare as date * 65536 + time; the accepted window is 1990-01-01 to 2050-01-01.
constexpr uint32_t kEarliestStamp = uint32_t(FatDate(1990, 1, 1)) << 16;
constexpr uint32_t kLatestStamp = uint32_t(FatDate(2050, 1, 1)) << 16;

bool InWindow(uint16_t date, uint16_t time) {
  const uint32_t stamp = (uint32_t(date) << 16) | time;
  return stamp >= kEarliestStamp && stamp <= kLatestStamp;
}

// A subdirectory's own "." and ".." entries own no bytes.
bool IsEmptyDotEntry(const FatDirEntry& e) { return e.IsDotEntry() && e.Size() == 0; }
bool IsEmptyDotDotEntry(const FatDirEntry& e) { return e.IsDotDotEntry() && e.Size() == 0; }

bool AttributeIsConsistent(const FatDirEntry& e) {
  const uint8_t attr = e.Attribute();
  if (attr >= 0x40) return false;
  if (attr & FatDirEntry::kAttrVolumeLabel) {
    if (attr == FatDirEntry::kAttrVolumeLabel) {
      if (e.Size() != 0 || !e.ClustersZero()) return false;
    } else if (attr == FatDirEntry::kAttrLongName) {
      if (!e.IsDeleted() && (e.Sequence() & ~FatDirEntry::kLastLongNameFlag) > kMaxLongNameSequence)
        return false;
    } else {
      return false;
    }
  }
  if ((attr & FatDirEntry::kAttrDirectory) && (attr & FatDirEntry::kAttrReadOnly)) return false;
  return true;
}

bool TimestampsInWindow(const FatDirEntry& e) {
  return InWindow(e.CreationDate(), e.CreationTime()) && InWindow(e.LastAccessDate(), 0) &&
         InWindow(e.WriteDate(), e.WriteTime());
}

// Bytes 1 to 14 repeating as 17 to 30 is a fill pattern, not an entry.
bool RepeatsItself(const uint8_t* entry) { return std::memcmp(entry + 1, entry + 17, 14) == 0; }

bool IsPlausibleInSector(const uint8_t* entry) {
  return IsPlausibleDirEntry(entry) && !RepeatsItself(entry);
}

// Space padding ends a name field: no non-space may follow a space.
bool PaddingIsTrailing(const FatDirEntry& e, size_t from, size_t count) {
  bool seenSpace = false;
  for (size_t i = from; i < from + count; ++i) {
    if (e.NameByte(i) == ' ') {
      seenSpace = true;
    } else if (seenSpace) {
      return false;
    }
  }
  return true;
}

// Double-byte characters: bytes with the high bit set come in pairs within the first 10 bytes.
bool HighBytesPaired(const FatDirEntry& e) {
  size_t i = e.IsDeleted() ? 1 : 0;
  while (i < 10) {
    if (e.NameByte(i) & 0x80) {
      if (i + 1 >= 10 || !(e.NameByte(i + 1) & 0x80)) return false;
      i += 2;
    } else {
      ++i;
    }
  }
  return true;
}

bool ShortEntryPassesSectorTest(const FatDirEntry& e) {
  if (!e.IsVolumeLabel() && e.CreationDate() == 0 && e.CreationTime() == 0) return false;
  for (size_t i = 0; i < 11; ++i) {
    const uint8_t c = e.NameByte(i);
    if (c < 0x20 || c == '.') return false;
  }
  return PaddingIsTrailing(e, 0, 8) && PaddingIsTrailing(e, 8, 3) && HighBytesPaired(e);
}

// The entries after a long-name piece must continue its run up to the closing 8.3 entry.
bool LongNameRunHolds(const uint8_t* bytes, size_t count, size_t at) {
  const uint8_t checksum = FatDirEntry(bytes + at * kEntry).LongNameChecksum();
  for (size_t j = at + 1; j < count && j <= at + kMaxRunAhead; ++j) {
    const uint8_t* raw = bytes + j * kEntry;
    if (!IsPlausibleDirEntry(raw)) return false;
    const FatDirEntry next(raw);
    if (next.IsLongName()) {
      if (next.LongNameChecksum() != checksum) return false;
      continue;
    }
    return next.IsDeleted() || next.ShortNameChecksum() == checksum;
  }
  return true;
}

bool AllZeroFrom(const uint8_t* bytes, size_t from, size_t length) {
  for (size_t i = from; i < length; ++i)
    if (bytes[i] != 0) return false;
  return true;
}

}  // namespace

bool IsSubdirectoryStart(const uint8_t* entries, size_t length) {
  if (entries == nullptr || length < 2 * kEntry) return false;
  return IsEmptyDotEntry(FatDirEntry(entries)) && IsEmptyDotDotEntry(FatDirEntry(entries + kEntry));
}

bool IsPlausibleDirEntry(const uint8_t* entry) {
  if (entry == nullptr) return false;
  const FatDirEntry e(entry);
  if (IsEmptyDotEntry(e) || IsEmptyDotDotEntry(e)) return true;
  // A file of size 0 owns no cluster.
  if (e.Size() == 0 && !e.IsDirectory() && !e.ClustersZero()) return false;
  if (!AttributeIsConsistent(e)) return false;
  if (!e.IsLongName() && !e.IsDeleted() && !e.IsDirectory() && !TimestampsInWindow(e)) return false;
  if (!e.IsVolumeLabel() && !e.IsLongName()) {
    for (size_t i = 0; i < 11; ++i)
      if (IsForbiddenShortNameByte(e.NameByte(i))) return false;
  }
  const uint8_t attr = e.Attribute();
  if (attr != FatDirEntry::kAttrVolumeLabel && attr != FatDirEntry::kAttrLongName &&
      !(attr & (FatDirEntry::kAttrDirectory | FatDirEntry::kAttrArchive)))
    return false;
  if (e.IsLongName() && e.LowCluster() != 0) return false;
  if (e.IsDirectory() && !e.IsDeleted() && e.Size() != 0) return false;
  return true;
}

bool IsFatDirectorySector(const uint8_t* bytes, size_t length) {
  if (bytes == nullptr) return false;
  const size_t count = length / kEntry;
  if (count == 0) return false;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* raw = bytes + i * kEntry;
    const FatDirEntry e(raw);
    if (e.IsEndMarker()) return i > 0 && AllZeroFrom(bytes, i * kEntry, length);
    if (!IsPlausibleInSector(raw)) return false;
    if (e.IsLongName()) {
      if (!LongNameRunHolds(bytes, count, i)) return false;
    } else if (!ShortEntryPassesSectorTest(e)) {
      return false;
    }
  }
  return true;
}

}  // namespace salvora
