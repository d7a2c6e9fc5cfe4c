#pragma once

#include <cstdint>

#include "platform/ByteView.h"

namespace salvora {

// The main boot sector of an exFAT volume, read with bounds checks. Sector numbers are relative
// to the volume's first sector.
class ExfatBootSector {
 public:
  // Sectors of one boot region: boot sector, 8 extended boot sectors, OEM parameters, a reserved
  // sector and the checksum sector. The backup region follows right after.
  static constexpr uint32_t kBootRegionSectors = 12;
  static constexpr uint32_t kChecksumSector = 11;
  static constexpr uint32_t kFirstCluster = 2;

  explicit ExfatBootSector(ByteView sector) : s_(sector) {}

  bool HasExfatName() const { return s_.Equals(3, "EXFAT   "); }
  uint64_t PartitionOffset() const { return s_.U64(64); }
  uint64_t VolumeLength() const { return s_.U64(72); }
  uint32_t FatOffset() const { return s_.U32(80); }
  uint32_t FatLength() const { return s_.U32(84); }
  uint32_t ClusterHeapOffset() const { return s_.U32(88); }
  uint32_t ClusterCount() const { return s_.U32(92); }
  uint32_t RootCluster() const { return s_.U32(96); }
  uint32_t VolumeSerial() const { return s_.U32(100); }
  uint16_t Revision() const { return s_.U16(104); }
  uint16_t VolumeFlags() const { return s_.U16(106); }
  uint8_t BytesPerSectorShift() const { return s_.U8(108); }
  uint8_t SectorsPerClusterShift() const { return s_.U8(109); }
  uint8_t NumberOfFats() const { return s_.U8(110); }
  uint8_t PercentInUse() const { return s_.U8(112); }
  bool HasBootSignature() const { return s_.U8(510) == 0x55 && s_.U8(511) == 0xAA; }
  // Which FAT and bitmap are active when the volume has two (TexFAT).
  bool SecondFatActive() const { return (VolumeFlags() & 1) != 0; }

  // 0 unless the shifts are valid (IsExfat).
  uint32_t BytesPerSector() const;
  uint32_t SectorsPerCluster() const;
  uint32_t BytesPerCluster() const { return BytesPerSector() * SectorsPerCluster(); }
  // First sector of cluster c (c >= 2), relative to the volume.
  uint64_t ClusterSector(uint32_t cluster) const;
  // True when cluster is a data cluster of this volume.
  bool IsDataCluster(uint32_t cluster) const {
    return cluster >= kFirstCluster && uint64_t(cluster) < uint64_t(ClusterCount()) + kFirstCluster;
  }

  // The recognition test: name, signature, shifts in range, zeroed legacy block, FAT and heap
  // inside the volume, root cluster inside the heap.
  bool IsExfat() const;

  // The checksum of a boot region's first 11 sectors (regionBytes holds at least 11 sectors of
  // sectorSize bytes). Volume flags and percent in use are left out, as they change in use.
  static uint32_t RegionChecksum(ByteView regionBytes, uint32_t sectorSize);
  // True when the checksum sector (sector 11 of region) repeats RegionChecksum.
  static bool RegionChecksumMatches(ByteView regionBytes, uint32_t sectorSize);

 private:
  ByteView s_;
};

inline bool IsExfatBootSector(ByteView sector) { return ExfatBootSector(sector).IsExfat(); }

}  // namespace salvora
