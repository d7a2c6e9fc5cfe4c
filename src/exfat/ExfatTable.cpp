#include "exfat/ExfatTable.h"

#include <algorithm>

namespace salvora {

void AppendCluster(std::vector<ExfatRun>& runs, uint32_t cluster) {
  if (!runs.empty() && runs.back().firstCluster + runs.back().clusterCount == cluster &&
      runs.back().clusterCount < UINT32_MAX) {
    ++runs.back().clusterCount;
  } else {
    runs.push_back({cluster, 1});
  }
}

int ExfatTable::Load(SectorReader* reader, uint64_t fatStart, uint32_t sectorSize,
                     uint64_t readableSectors, uint32_t clusterCount) {
  clusterCount_ = clusterCount;
  return table_.Load(reader, fatStart, sectorSize, 32, readableSectors, clusterCount + 1);
}

ExfatTable::ChainEnd ExfatTable::Chain(uint32_t first, uint64_t maxClusters,
                                       std::vector<ExfatRun>& runs) {
  runs.clear();
  if (!IsDataCluster(first)) return ChainEnd::OutOfHeap;
  // A chain never holds more clusters than the heap: past that it loops.
  const uint64_t limit = std::min<uint64_t>(maxClusters, clusterCount_);
  uint32_t cluster = first;
  for (uint64_t taken = 0;; ++taken) {
    if (taken == limit) return ChainEnd::Limit;
    AppendCluster(runs, cluster);
    uint32_t next = 0;
    if (table_.Entry(cluster, next) != 0) return ChainEnd::ReadError;
    if (next == kEndOfChain) return ChainEnd::EndMark;
    if (next == kFree) return ChainEnd::Free;
    if (!IsDataCluster(next)) return ChainEnd::OutOfHeap;
    cluster = next;
  }
}

}  // namespace salvora
