#pragma once

#include <vector>

#include "app/DiskSource.h"

namespace salvora::app {

// Discovery knows the used and free space of mounted volumes only. For the others this counts
// the free clusters of their own structures (FAT, NTFS); where that is not possible the figures
// are left unknown (used and free 0) rather than shown as a full volume.
void FillUnmountedSpace(std::vector<DiskSourceEntry>& entries);

// Whether the entry's used and free figures are real (they add up to its size).
inline bool SpaceKnown(const DiskSourceEntry& entry) {
  return entry.totalBytes != 0 && entry.usedBytes + entry.freeBytes == entry.totalBytes;
}

}  // namespace salvora::app
