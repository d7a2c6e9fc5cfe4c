#include "fat/DeepFatGeometry.h"

#include "fat/FatBootSector.h"

namespace salvora {

uint64_t DeepFatGeometry::ClusterSector(uint32_t c) const {
  if (c < 2) return DataStart() >= base + rootSectors ? DataStart() - rootSectors : base;
  return DataStart() + uint64_t(c - 2) * sectorsPerCluster;
}

bool DeepFatGeometry::IsClusterStart(uint64_t sector, uint32_t& cluster) const {
  if (sectorsPerCluster == 0 || sector < DataStart()) return false;
  const uint64_t delta = sector - DataStart();
  if (delta % sectorsPerCluster != 0) return false;
  const uint64_t c = delta / sectorsPerCluster + 2;
  if (c > UINT32_MAX) return false;
  cluster = uint32_t(c);
  return true;
}

uint32_t DeepFatGeometry::ClusterHolding(uint64_t sector) const {
  if (sectorsPerCluster == 0 || sector < DataStart()) return 0;
  const uint64_t c = (sector - DataStart()) / sectorsPerCluster + 2;
  return c > UINT32_MAX ? 0 : uint32_t(c);
}

bool DeepFatGeometry::RunHolds(uint32_t c, uint64_t sector) const {
  const uint64_t first = ClusterSector(c);
  return sector >= first && sector - first <= sectorsPerCluster;
}

bool IsValidSectorsPerCluster(uint64_t k) { return k >= 1 && k <= 128 && (k & (k - 1)) == 0; }

std::optional<DeepFatGeometry> GeometryFromBootArea(ByteView boot, uint64_t base,
                                                    uint32_t sectorSize, uint32_t& rootCluster) {
  rootCluster = 0;
  FatBootSector bs(boot);
  if (!bs.IsFat() || sectorSize == 0) return std::nullopt;
  // The boot sector counts in its own sectors; the engine reads in the source's.
  const uint32_t bps = bs.BytesPerSector();
  if (bps < sectorSize || bps % sectorSize != 0) return std::nullopt;
  const uint64_t scale = bps / sectorSize;
  const bool fat32 = bs.HasFat32Label();
  const uint64_t fatSectors = fat32 ? bs.FatSize32() : bs.FatSize16();
  const uint64_t rootSectors = fat32 ? 0 : bs.RootDirSectors();
  const uint64_t offset =
      (uint64_t(bs.ReservedSectors()) + uint64_t(bs.NumberOfFats()) * fatSectors + rootSectors) *
      scale;
  const uint64_t spc = uint64_t(bs.SectorsPerCluster()) * scale;
  if (offset > UINT32_MAX || spc == 0 || spc > UINT32_MAX) return std::nullopt;
  DeepFatGeometry g;
  g.sectorsPerCluster = uint32_t(spc);
  g.dataOffset = uint32_t(offset);
  g.base = base;
  g.rootSectors = uint32_t(rootSectors * scale);
  if (fat32) rootCluster = bs.RootCluster32();
  return g;
}

std::optional<DeepFatGeometry> GeometryFromAnchors(const ClusterAnchor& a, const ClusterAnchor& b,
                                                   uint64_t base) {
  // The pair is ordered by cluster; its sectors must then come in the same order, or the two
  // starts belong to no single volume.
  const ClusterAnchor& hi = a.cluster > b.cluster ? a : b;
  const ClusterAnchor& lo = a.cluster > b.cluster ? b : a;
  if (hi.cluster == lo.cluster || lo.cluster < 2 || hi.sector <= lo.sector) return std::nullopt;
  const uint64_t sectors = hi.sector - lo.sector;
  const uint64_t clusters = hi.cluster - lo.cluster;
  if (sectors % clusters != 0) return std::nullopt;
  const uint64_t k = sectors / clusters;
  if (!IsValidSectorsPerCluster(k)) return std::nullopt;
  const uint64_t before = uint64_t(lo.cluster - 2) * k;
  if (before > lo.sector) return std::nullopt;
  const uint64_t dataStart = lo.sector - before;
  if (dataStart < base || dataStart - base > UINT32_MAX) return std::nullopt;
  DeepFatGeometry g;
  g.sectorsPerCluster = uint32_t(k);
  g.dataOffset = uint32_t(dataStart - base);
  g.base = base;
  return g;
}

}  // namespace salvora
