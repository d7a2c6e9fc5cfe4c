#include "fatfamily/FatUsageBitmap.h"

namespace salvora {

void FatUsageBitmap::Build(FatTable& table, uint32_t clusterCount) {
  bits_.assign((uint64_t(clusterCount) + 7) / 8, 0);
  const uint64_t bitCount = uint64_t(bits_.size()) * 8;
  for (uint64_t c = 2; c < uint64_t(clusterCount) + 2; ++c) {
    uint32_t e = 0;
    if (table.Entry(uint32_t(c), e) != 0 || e == 0) continue;
    Set(c - 2);
    if (table.IsEndOrBad(e)) continue;
    e &= table.Mask();
    if (e < 2) continue;
    if (uint64_t(e) - 2 >= bitCount) return;
    Set(uint64_t(e) - 2);
  }
}

bool FatUsageBitmap::IsUsed(uint32_t cluster) const {
  if (cluster < 2 || uint64_t(cluster - 2) >= uint64_t(bits_.size()) * 8) return false;
  return Bit(cluster - 2);
}

int FatUsageBitmap::NextUnusedRange(uint64_t& start, uint64_t& length, uint64_t partitionSectors,
                                    uint64_t dataStart, uint32_t sectorsPerCluster) const {
  length = 0;
  if (start > partitionSectors) {
    start = partitionSectors;
    return 1;
  }
  if (sectorsPerCluster == 0) return 1;
  // The first call passes 0, meaning the start of the data area.
  if (start != 0) start = start >= dataStart ? start - dataStart : 0;
  const uint64_t bitCount = uint64_t(bits_.size()) * 8;
  uint64_t k = start / sectorsPerCluster;
  if (k / 8 < bits_.size()) {
    uint64_t free = k;
    while (free < bitCount) {
      if (free % 8 == 0 && bits_[size_t(free / 8)] == 0xFF) {
        free += 8;
        continue;
      }
      if (!Bit(free)) break;
      ++free;
    }
    start += (free - k) * sectorsPerCluster;
    uint64_t end = free;
    while (end < bitCount) {
      if (end % 8 == 0 && bits_[size_t(end / 8)] == 0x00 && end + 8 <= bitCount) {
        end += 8;
        continue;
      }
      if (Bit(end)) break;
      ++end;
    }
    length = (end - free) * sectorsPerCluster;
  }
  // Clipped in partition terms, so the data area's offset counts against the end.
  start += dataStart;
  if (start + length > partitionSectors) length = start >= partitionSectors ? 0 : partitionSectors - start;
  return 1;
}

}  // namespace salvora
