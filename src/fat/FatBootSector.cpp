#include "fat/FatBootSector.h"

namespace salvora {
namespace {

bool IsPowerOfTwoUpTo128(uint8_t v) { return v != 0 && v <= 128 && (v & (v - 1)) == 0; }

}  // namespace

uint32_t FatBootSector::RootDirSectors() const {
  if (BytesPerSector() == 0) return 0;
  return (uint32_t(RootEntries()) * 32 + BytesPerSector() - 1) / BytesPerSector();
}

uint32_t FatBootSector::ClusterCountForProbe() const {
  if (BytesPerSector() == 0 || SectorsPerCluster() == 0) return 0;
  uint32_t rootSectors = uint32_t(RootEntries()) * 32 / BytesPerSector();
  uint32_t used = ReservedSectors() + FatSize() * NumberOfFats() + rootSectors;
  return (TotalSectors() - used) / SectorsPerCluster();
}

bool FatBootSector::IsEncryptedVolume() const {
  static constexpr uint8_t kFve[8] = {0x2D, 0x46, 0x56, 0x45, 0x2D, 0x46, 0x53, 0x2D};
  if (s_.Equals(3, kFve, sizeof kFve)) return true;
  if (!s_.Has(480, 30)) return false;
  for (int i = 0; i < 8; ++i)
    if (s_.U8(480 + i) != 0x78) return false;
  for (int i = 0; i < 19; ++i)
    if (s_.U8(488 + i) != 0xFF) return false;
  return s_.U8(507) == 0x00 && s_.U8(508) == 0x1F && s_.U8(509) == 0x2C;
}

bool FatBootSector::PassesFat1216Check() const {
  return NumberOfFats() != 0 && (TotalSectors16() != 0 || TotalSectors32() != 0) &&
         IsPowerOfTwoUpTo128(SectorsPerCluster()) && FatSize16() != 0 && HasBootSignature();
}

bool FatBootSector::PassesFat32Check() const {
  return HasFat32Label() && NumberOfFats() != 0 && TotalSectors32() != 0 &&
         IsPowerOfTwoUpTo128(SectorsPerCluster()) && FatSize32() != 0 && HasBootSignature();
}

bool FatBootSector::IsFat() const {
  if (!s_.Has(0, 512)) return false;
  if (IsEncryptedVolume()) return false;
  if (BytesPerSector() == 0 || SectorsPerCluster() == 0 || BytesPerSector() % 512 != 0) return false;
  if (ClusterCountForProbe() > 0x0FFFFFEF) return false;
  return PassesFat1216Check() || PassesFat32Check();
}

}  // namespace salvora
