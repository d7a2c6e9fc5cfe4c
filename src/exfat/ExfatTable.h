#pragma once

#include <cstdint>
#include <vector>

#include "fatfamily/FatTable.h"
#include "storage/SectorReader.h"

namespace salvora {

// A run of consecutive clusters.
struct ExfatRun {
  uint32_t firstCluster = 0;
  uint32_t clusterCount = 0;
};

// The exFAT allocation table: 32-bit entries, read through FatTable's window. Chains are followed
// at most as far as the caller's limit and the volume's cluster count, so a loop always ends.
class ExfatTable {
 public:
  static constexpr uint32_t kFree = 0;
  static constexpr uint32_t kBad = 0xFFFFFFF7u;
  static constexpr uint32_t kEndOfChain = 0xFFFFFFFFu;

  // How a followed chain ended.
  enum class ChainEnd { EndMark, Limit, Free, OutOfHeap, ReadError };

  // fatStart: absolute first sector of the active FAT; readableSectors: sectors of the source from
  // there on. Returns 0 or the read error.
  int Load(SectorReader* reader, uint64_t fatStart, uint32_t sectorSize, uint64_t readableSectors,
           uint32_t clusterCount);
  uint32_t ClusterCount() const { return clusterCount_; }
  bool IsDataCluster(uint32_t c) const { return c >= 2 && uint64_t(c) < uint64_t(clusterCount_) + 2; }

  int Entry(uint32_t cluster, uint32_t& value) { return table_.Entry(cluster, value); }
  // The chain from first, as runs, at most maxClusters long.
  ChainEnd Chain(uint32_t first, uint64_t maxClusters, std::vector<ExfatRun>& runs);

 private:
  FatTable table_;
  uint32_t clusterCount_ = 0;
};

// Appends cluster to runs, extending the last run when it follows on.
void AppendCluster(std::vector<ExfatRun>& runs, uint32_t cluster);

}  // namespace salvora
