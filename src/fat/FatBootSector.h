#pragma once

#include <cstdint>

#include "platform/ByteView.h"

namespace salvora {

// The BIOS parameter block of a FAT12/16/32 boot sector, read with bounds checks.
class FatBootSector {
 public:
  explicit FatBootSector(ByteView sector) : s_(sector) {}

  uint16_t BytesPerSector() const { return s_.U16(11); }
  uint8_t SectorsPerCluster() const { return s_.U8(13); }
  uint16_t ReservedSectors() const { return s_.U16(14); }
  uint8_t NumberOfFats() const { return s_.U8(16); }
  uint16_t RootEntries() const { return s_.U16(17); }
  uint16_t TotalSectors16() const { return s_.U16(19); }
  uint8_t MediaDescriptor() const { return s_.U8(21); }
  uint16_t FatSize16() const { return s_.U16(22); }
  uint32_t HiddenSectors() const { return s_.U32(28); }
  uint32_t TotalSectors32() const { return s_.U32(32); }
  uint32_t FatSize32() const { return s_.U32(36); }
  uint32_t RootCluster32() const { return s_.U32(44); }
  uint16_t BackupBootSector32() const { return s_.U16(50); }
  bool HasFat32Label() const { return s_.Equals(82, "FAT32   "); }
  bool HasBootSignature() const { return s_.U8(510) == 0x55 && s_.U8(511) == 0xAA; }

  // FAT size: the 16-bit field when nonzero, else the 32-bit one.
  uint32_t FatSize() const { return FatSize16() ? FatSize16() : FatSize32(); }
  // Total sectors: the 32-bit field when nonzero, else the 16-bit one.
  uint32_t TotalSectors() const { return TotalSectors32() ? TotalSectors32() : TotalSectors16(); }
  // Root folder sectors, rounded up (0 on FAT32).
  uint32_t RootDirSectors() const;
  // Data clusters as the classification computes them (unsigned arithmetic, no rounding up).
  uint32_t ClusterCountForProbe() const;

  // The classification test: FAT12/16 or FAT32 parameter block, not an encrypted volume.
  bool IsFat() const;

 private:
  bool IsEncryptedVolume() const;
  bool PassesFat1216Check() const;
  bool PassesFat32Check() const;

  ByteView s_;
};

inline bool IsFatBootSector(ByteView sector) { return FatBootSector(sector).IsFat(); }

}  // namespace salvora
