#include "fat/FatGeometry.h"

#include "fat/FatBootSector.h"

namespace salvora {

std::optional<FatGeometry> FatGeometry::FromBootSector(ByteView bootSector) {
  FatBootSector boot(bootSector);
  FatGeometry g;
  g.sectorSize = boot.BytesPerSector();
  g.sectorsPerCluster = boot.SectorsPerCluster();
  if (g.sectorSize == 0 || g.sectorSize % 512 != 0 || g.sectorsPerCluster == 0) return std::nullopt;
  g.reservedSectors = boot.ReservedSectors();
  g.totalSectors = boot.TotalSectors();
  g.fat32 = boot.HasFat32Label();
  const uint64_t fats = boot.NumberOfFats();
  uint64_t dataStart;
  if (g.fat32) {
    g.fatSectors = boot.FatSize32();
    g.rootCluster = boot.RootCluster32();
    dataStart = uint64_t(g.fatSectors) * fats + g.reservedSectors;
  } else {
    // The fixed root folder's size comes from its entry count; the data area follows it.
    g.fatSectors = boot.FatSize16();
    g.rootSectors = boot.RootDirSectors();
    dataStart = uint64_t(g.fatSectors) * fats + g.reservedSectors + g.rootSectors;
  }
  if (dataStart > UINT32_MAX) return std::nullopt;
  g.dataStart = uint32_t(dataStart);
  g.clusterCount = g.totalSectors > g.dataStart ? (g.totalSectors - g.dataStart) / g.sectorsPerCluster : 0;
  if (g.fat32) g.entryBits = 32;
  else g.entryBits = g.clusterCount < 4085 ? 12 : 16;
  return g;
}

}  // namespace salvora
