#pragma once

#include <cstdint>
#include <optional>

#include "platform/ByteView.h"

namespace salvora {

// The layout of a FAT volume as the fast engine works with it, derived from its boot sector.
// Sector numbers are relative to the partition start.
struct FatGeometry {
  uint32_t sectorSize = 512;
  uint32_t sectorsPerCluster = 0;
  uint32_t reservedSectors = 0;   // = first sector of the first allocation table
  uint32_t fatSectors = 0;        // one table
  uint32_t rootSectors = 0;       // fixed root folder (0 on FAT32)
  uint32_t dataStart = 0;         // first sector of cluster 2
  uint32_t rootCluster = 0;       // FAT32: from the boot sector; otherwise 0 (the fixed root)
  uint32_t totalSectors = 0;
  uint32_t clusterCount = 0;      // data clusters: 2 .. clusterCount + 1
  bool fat32 = false;
  int entryBits = 16;             // 12, 16 or 32

  // nullopt when the boot sector cannot describe a usable volume (zero sizes, sector size not a
  // multiple of 512, data area past the end).
  static std::optional<FatGeometry> FromBootSector(ByteView bootSector);

  uint32_t ClusterBytes() const { return sectorsPerCluster * sectorSize; }
  // First sector of the fixed root folder (non-FAT32): data start minus the root size.
  uint32_t RootStart() const { return dataStart - rootSectors; }
  // Highest valid cluster number.
  uint32_t MaxCluster() const { return clusterCount + 1; }
};

}  // namespace salvora
