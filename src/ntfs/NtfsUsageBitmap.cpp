#include "ntfs/NtfsUsageBitmap.h"

#include <algorithm>
#include <bit>
#include <new>

#include "ntfs/NtfsBootSector.h"
#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

constexpr uint32_t kBitmapRecord = 6;

}  // namespace

int LoadNtfsUsageBitmap(NtfsMft& mft, SectorReader& reader, std::vector<uint8_t>& bitmap,
                        uint64_t& length) {
  const NtfsGeometry& g = mft.Geometry();
  uint64_t s = mft.MftRecordToSector(kBitmapRecord);
  RunList runs;
  int rc = mft.GetAttributeRuns(s, kAttrData, runs);
  if (rc != 0) return rc;
  uint64_t dataSize = 0;
  rc = mft.ReadDataSize(s, dataSize);
  if (rc != 0) return rc;
  const uint64_t spc = uint64_t(g.sectorsPerCluster);
  const uint64_t bps = uint64_t(g.bytesPerSector);
  uint64_t runSectors = 0;
  for (const auto& run : runs) runSectors += run.length * spc;
  uint64_t needed = (g.totalSectors / spc + 7) / 8;
  uint64_t cluster = g.ClusterSize();
  uint64_t capacity = std::min(runSectors * bps, (needed + cluster - 1) / cluster * cluster);
  std::vector<uint8_t> map;
  try {
    map.assign(size_t(capacity), 0);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  uint64_t offset = 0;
  int64_t lcn = 0;
  for (const auto& run : runs) {
    lcn += run.delta;
    if (offset >= capacity) break;
    uint64_t sectors = std::min(run.length * spc, (capacity - offset) / bps);
    if (!run.sparse && lcn >= 0) {
      uint32_t got = 0;
      reader.ReadSectors(map.data() + offset, uint32_t(sectors), g.volumeStart + uint64_t(lcn) * spc,
                         g.bytesPerSector, got);
    }
    offset += sectors * bps;
  }
  bitmap = std::move(map);
  length = std::min<uint64_t>(dataSize, bitmap.size());
  return 0;
}

bool CountNtfsFreeBytes(SectorReader& reader, uint64_t startSector, uint64_t sectorCount,
                        int sectorSize, uint64_t& freeBytes) {
  if (sectorSize <= 0 || sectorSize > 4096) return false;
  std::vector<uint8_t> boot(4096, 0);
  uint32_t got = 0;
  if (reader.ReadSectors(boot.data(), uint32_t(4096 / sectorSize), startSector, sectorSize, got) != 0)
    return false;
  ByteView view(boot.data(), boot.size());
  NtfsGeometry g;
  if (!IsNtfsBootSector(view) || !NtfsGeometry::FromBootSector(view, startSector, g)) return false;
  if (g.bytesPerSector != sectorSize) return false;
  g.totalSectors = sectorCount;
  NtfsMft mft;
  mft.Attach(&reader, g);
  if (mft.LoadMftRuns() != 0 || mft.MftRuns().empty()) return false;
  std::vector<uint8_t> bitmap;
  uint64_t length = 0;
  if (LoadNtfsUsageBitmap(mft, reader, bitmap, length) != 0) return false;
  uint64_t clusters = std::min<uint64_t>(sectorCount / uint64_t(g.sectorsPerCluster), length * 8);
  uint64_t used = 0;
  for (uint64_t i = 0; i < clusters / 8; ++i) used += uint64_t(std::popcount(bitmap[size_t(i)]));
  for (uint64_t k = clusters / 8 * 8; k < clusters; ++k) used += (bitmap[size_t(k / 8)] >> (k % 8)) & 1;
  freeBytes = (clusters - used) * g.ClusterSize();
  return true;
}

}  // namespace salvora
