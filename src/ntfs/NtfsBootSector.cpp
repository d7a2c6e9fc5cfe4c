#include "ntfs/NtfsBootSector.h"

namespace salvora {

bool NtfsBootSector::IsNtfs() const {
  if (!s_.Has(0, 512) || !s_.Equals(3, "NTFS    ")) return false;
  uint16_t bps = BytesPerSector();
  if (bps == 0 || bps % 512 != 0) return false;
  uint8_t spc = SectorsPerCluster();
  if (spc == 0 || spc > 128 || (spc & (spc - 1)) != 0) return false;
  if (ReservedSectors() != 0) return false;
  for (int offset : {16, 17, 18, 19, 20, 22, 23, 32, 33, 34, 35})
    if (s_.U8(offset) != 0) return false;
  if (TotalSectors() == 0) return false;
  return s_.U8(510) == 0x55 && s_.U8(511) == 0xAA;
}

}  // namespace salvora
