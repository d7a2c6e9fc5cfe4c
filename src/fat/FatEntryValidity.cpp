#include "fat/FatEntryValidity.h"

#include <cstring>

#include "fatdir/FatDirEntry.h"
#include "fatdir/FatDirectorySector.h"
#include "fatfamily/FatTime.h"

namespace salvora {
namespace {

bool InPlausibleRange(uint64_t t) { return t >= kFatEarliestPlausibleTime && t <= kFatLatestPlausibleTime; }

}  // namespace

bool IsUsableFastEntry(ByteView entries, size_t index) {
  const size_t at = index * FatDirEntry::kSize;
  if (!entries.Has(at, FatDirEntry::kSize)) return false;
  FatDirEntry e(entries.Sub(at, FatDirEntry::kSize));
  // The "." entry that opens a folder cluster (checked with the ".." after it).
  if (IsSubdirectoryStart(entries.data() + at, entries.size() - at)) return true;

  const uint8_t attr = e.Attribute();
  const bool noClusters = e.ClustersZero();
  if (e.Size() == 0 && !e.IsDirectory() && !noClusters) return false;
  if (attr == FatDirEntry::kAttrVolumeLabel) {
    if (e.Size() != 0 || !noClusters) return false;
  } else if (attr != FatDirEntry::kAttrLongName && (attr & FatDirEntry::kAttrVolumeLabel)) {
    return false;
  }
  if ((attr & FatDirEntry::kAttrDirectory) && (attr & FatDirEntry::kAttrReadOnly) &&
      attr != FatDirEntry::kAttrLongName)
    return false;
  if (attr >= 0x40) return false;

  if (e.IsLongName()) {
    const int sequence = e.Sequence() & ~FatDirEntry::kLastLongNameFlag;
    if (!e.IsDeleted() && sequence > FatDirEntry::kMaxLongNameParts) return false;
    return e.LowCluster() == 0;
  }
  if (!e.IsDeleted() && !e.IsDirectory()) {
    if (!InPlausibleRange(FatCreationFileTime(e)) || !InPlausibleRange(FatAccessFileTime(e)) ||
        !InPlausibleRange(FatWriteFileTime(e)))
      return false;
  }
  if (!e.IsVolumeLabel())
    for (size_t i = 0; i < 11; ++i)
      if (IsForbiddenShortNameByte(e.NameByte(i))) return false;
  if (!e.IsDeleted() && e.IsDirectory() && e.Size() != 0) return false;
  return attr == FatDirEntry::kAttrVolumeLabel || (attr & (FatDirEntry::kAttrDirectory | FatDirEntry::kAttrArchive));
}

}  // namespace salvora
