#include "fat/FatFreeSpace.h"

#include <vector>

#include "fat/FatGeometry.h"
#include "fatfamily/FatTable.h"

namespace salvora {

bool CountFatFreeBytes(SectorReader& reader, uint64_t startSector, uint64_t sectorCount, int sectorSize,
                       uint64_t& freeBytes) {
  if (sectorSize < 512 || sectorSize > 4096 || sectorCount == 0) return false;
  std::vector<uint8_t> boot(size_t(sectorSize), 0);
  uint32_t got = 0;
  if (reader.ReadSectors(boot.data(), 1, startSector, sectorSize, got) != 0 || got != 1) return false;
  const std::optional<FatGeometry> geometry = FatGeometry::FromBootSector(ByteView(boot.data(), boot.size()));
  if (!geometry || geometry->sectorSize != uint32_t(sectorSize) || geometry->reservedSectors >= sectorCount) {
    return false;
  }
  const FatGeometry& g = *geometry;
  FatTable table;
  if (table.Load(&reader, startSector + g.reservedSectors, g.sectorSize, g.entryBits,
                 sectorCount - g.reservedSectors, g.MaxCluster()) != 0 ||
      !table.HasWindow()) {
    return false;
  }
  uint64_t free = 0;
  for (uint64_t c = 2; c <= g.MaxCluster(); ++c) {
    uint32_t entry = 0;
    if (table.Entry(uint32_t(c), entry) != 0) return false;
    if ((entry & table.Mask()) == 0) ++free;
  }
  freeBytes = free * g.ClusterBytes();
  return true;
}

}  // namespace salvora
