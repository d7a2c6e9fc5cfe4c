#pragma once

#include <cstdint>

#include "platform/ByteView.h"

namespace salvora {

// Where an NTFS volume lies and how it is cut up, from its boot sector. Sector numbers are
// absolute on the source; cluster numbers from run lists are relative to the volume.
struct NtfsGeometry {
  uint64_t volumeStart = 0;
  uint64_t totalSectors = 0;
  uint64_t mftStart = 0;  // absolute sector of record 0
  uint64_t mftMirrorStart = 0;  // absolute sector of the mirror's record 0; 0 when none
  int bytesPerSector = 512;
  int sectorsPerRecord = 2;
  int recordSize = 1024;
  int sectorsPerCluster = 0;

  uint32_t ClusterSize() const { return uint32_t(sectorsPerCluster) * uint32_t(bytesPerSector); }

  // Reads the geometry of the boot sector of a volume at volumeStart. Records are two sectors on
  // 512-byte sectors and one sector otherwise. false for values this system cannot work with:
  // sector sizes other than 512 to 4,096 bytes in powers of two, or no sectors per cluster.
  static bool FromBootSector(ByteView boot, uint64_t volumeStart, NtfsGeometry& out);
};

}  // namespace salvora
