#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "app/DiskSource.h"
#include "storage/SectorReader.h"

namespace salvora::app {

// Discovery knows the used and free space of mounted volumes only. The others are counted from
// their own structures (FAT, NTFS) on a worker; until then, and where that is not possible, the
// figures stay unknown (used and free 0) rather than shown as a full volume.

// Discovery's figures of a volume that is not mounted say nothing (it shows as full): they are
// made unknown until counted.
void ForgetUnmountedSpace(std::vector<DiskSourceEntry>& entries);

// Whether the entry is a volume whose space only a count of its structures can tell.
bool NeedsSpaceCount(const DiskSourceEntry& entry);

// Counts the free bytes of the entry's volume on disk (its whole disk, opened). False when no FAT
// or NTFS volume is there, the figure does not fit the volume, or stop was set: from then on
// every read fails at once, so a count of a large table ends soon after.
bool CountUnmountedFreeBytes(SectorReader& disk, const DiskSourceEntry& entry, const std::atomic<bool>& stop,
                             uint64_t& freeBytes);

// The entry's used and free figures from a count; unknown when it failed.
void ApplyFreeBytes(DiskSourceEntry& entry, bool counted, uint64_t freeBytes);

// Whether the entry's used and free figures are real (they add up to its size).
inline bool SpaceKnown(const DiskSourceEntry& entry) {
  return entry.totalBytes != 0 && entry.usedBytes + entry.freeBytes == entry.totalBytes;
}

}  // namespace salvora::app
