#pragma once

#include <cstdint>
#include <vector>

#include "platform/ByteView.h"

namespace salvora {

// The allocation bitmap: bit n (LSB first) says whether cluster n + 2 is in use.
class ExfatAllocationBitmap {
 public:
  static constexpr uint32_t kFirstCluster = 2;

  // Keeps the bitmap's bytes for clusterCount clusters; bits the bytes do not reach count as in
  // use, so nothing unknown is taken for free.
  void Assign(ByteView bytes, uint32_t clusterCount);
  bool IsLoaded() const { return !bits_.empty(); }
  uint32_t ClusterCount() const { return clusterCount_; }

  // Clusters outside the heap are never free.
  bool IsAllocated(uint32_t cluster) const;
  bool IsFree(uint32_t cluster) const { return !IsAllocated(cluster); }
  // Marks cluster in use (a deleted file's claim, so two deleted files do not take the same).
  void MarkAllocated(uint32_t cluster);
  // The first free cluster at or after cluster; 0 when none.
  uint32_t NextFree(uint32_t cluster) const;
  uint64_t FreeClusters() const;

 private:
  std::vector<uint8_t> bits_;
  uint32_t clusterCount_ = 0;
};

}  // namespace salvora
