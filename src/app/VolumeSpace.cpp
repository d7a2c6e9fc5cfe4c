#include "app/VolumeSpace.h"

#include "fat/FatFreeSpace.h"
#include "ntfs/NtfsUsageBitmap.h"
#include "storage/SectorReader.h"

namespace salvora::app {

namespace {

bool CountFreeBytes(const DiskSourceEntry& entry, uint64_t& freeBytes) {
  SectorReader reader;
  if (reader.OpenDisk(static_cast<int>(entry.diskNumber)) != 0) return false;
  const int sectorSize = static_cast<int>(entry.bytesPerSector);
  return CountFatFreeBytes(reader, entry.start, entry.length, sectorSize, freeBytes) ||
         CountNtfsFreeBytes(reader, entry.start, entry.length, sectorSize, freeBytes);
}

}  // namespace

void FillUnmountedSpace(std::vector<DiskSourceEntry>& entries) {
  for (DiskSourceEntry& e : entries) {
    if (e.kind != VolumeEntry::Kind::Volume || !e.rootPath.empty()) continue;
    uint64_t freeBytes = 0;
    if (CountFreeBytes(e, freeBytes) && freeBytes <= e.totalBytes) {
      e.freeBytes = freeBytes;
      e.usedBytes = e.totalBytes - freeBytes;
    } else {
      e.freeBytes = e.usedBytes = 0;
    }
  }
}

}  // namespace salvora::app
