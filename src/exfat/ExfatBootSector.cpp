#include "exfat/ExfatBootSector.h"

namespace salvora {

uint32_t ExfatBootSector::BytesPerSector() const {
  const uint8_t shift = BytesPerSectorShift();
  return shift >= 9 && shift <= 12 ? 1u << shift : 0;
}

uint32_t ExfatBootSector::SectorsPerCluster() const {
  const uint8_t shift = SectorsPerClusterShift();
  // A cluster is at most 32 MiB.
  return BytesPerSector() != 0 && shift <= 25 - BytesPerSectorShift() ? 1u << shift : 0;
}

uint64_t ExfatBootSector::ClusterSector(uint32_t cluster) const {
  if (cluster < kFirstCluster) return ClusterHeapOffset();
  return ClusterHeapOffset() + (uint64_t(cluster - kFirstCluster) << SectorsPerClusterShift());
}

bool ExfatBootSector::IsExfat() const {
  if (!HasExfatName() || !HasBootSignature() || !s_.Has(0, 512)) return false;
  if (SectorsPerCluster() == 0) return false;
  // Bytes 11-63 are the FAT parameter block, which must be zero so FAT drivers leave it alone.
  for (size_t i = 11; i < 64; ++i)
    if (s_.U8(i) != 0) return false;
  if (NumberOfFats() != 1 && NumberOfFats() != 2) return false;
  const uint64_t length = VolumeLength();
  if (FatOffset() < 24 || FatLength() == 0) return false;
  const uint64_t fatEnd = uint64_t(FatOffset()) + uint64_t(FatLength()) * NumberOfFats();
  if (fatEnd > ClusterHeapOffset() || ClusterHeapOffset() >= length) return false;
  if (ClusterCount() == 0 || ClusterCount() > 0xFFFFFFF5u - kFirstCluster) return false;
  // The FAT holds an entry for every cluster.
  if ((uint64_t(ClusterCount()) + kFirstCluster) * 4 > uint64_t(FatLength()) * BytesPerSector()) return false;
  const uint64_t heapEnd = ClusterSector(kFirstCluster) + (uint64_t(ClusterCount()) << SectorsPerClusterShift());
  if (heapEnd > length) return false;
  return IsDataCluster(RootCluster());
}

uint32_t ExfatBootSector::RegionChecksum(ByteView regionBytes, uint32_t sectorSize) {
  uint32_t sum = 0;
  const size_t bytes = size_t(sectorSize) * kChecksumSector;
  if (!regionBytes.Has(0, bytes)) return 0;
  for (size_t i = 0; i < bytes; ++i) {
    if (i == 106 || i == 107 || i == 112) continue;
    sum = ((sum & 1) ? 0x80000000u : 0) + (sum >> 1) + regionBytes.U8(i);
  }
  return sum;
}

bool ExfatBootSector::RegionChecksumMatches(ByteView regionBytes, uint32_t sectorSize) {
  if (sectorSize < 512 || !regionBytes.Has(0, size_t(sectorSize) * kBootRegionSectors)) return false;
  const uint32_t sum = RegionChecksum(regionBytes, sectorSize);
  const size_t base = size_t(sectorSize) * kChecksumSector;
  for (size_t i = 0; i < sectorSize; i += 4)
    if (regionBytes.U32(base + i) != sum) return false;
  return true;
}

}  // namespace salvora
