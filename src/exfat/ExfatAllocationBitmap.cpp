#include "exfat/ExfatAllocationBitmap.h"

#include <algorithm>
#include <bit>

namespace salvora {

void ExfatAllocationBitmap::Assign(ByteView bytes, uint32_t clusterCount) {
  clusterCount_ = clusterCount;
  bits_.assign((uint64_t(clusterCount) + 7) / 8, 0xFF);
  const size_t known = std::min(bits_.size(), bytes.size());
  if (known > 0) std::copy(bytes.data(), bytes.data() + known, bits_.begin());
}

bool ExfatAllocationBitmap::IsAllocated(uint32_t cluster) const {
  if (cluster < kFirstCluster || cluster - kFirstCluster >= clusterCount_) return true;
  const uint32_t bit = cluster - kFirstCluster;
  return bit / 8 >= bits_.size() || (bits_[bit / 8] >> (bit % 8)) & 1;
}

void ExfatAllocationBitmap::MarkAllocated(uint32_t cluster) {
  if (cluster < kFirstCluster || cluster - kFirstCluster >= clusterCount_) return;
  const uint32_t bit = cluster - kFirstCluster;
  if (bit / 8 < bits_.size()) bits_[bit / 8] |= uint8_t(1u << (bit % 8));
}

uint32_t ExfatAllocationBitmap::NextFree(uint32_t cluster) const {
  if (cluster < kFirstCluster) cluster = kFirstCluster;
  for (uint64_t c = cluster; c - kFirstCluster < clusterCount_;) {
    const uint64_t bit = c - kFirstCluster;
    // Whole bytes in use are stepped over at once.
    if (bit % 8 == 0 && bit / 8 < bits_.size() && bits_[bit / 8] == 0xFF) {
      c += 8;
      continue;
    }
    if (!IsAllocated(uint32_t(c))) return uint32_t(c);
    ++c;
  }
  return 0;
}

uint64_t ExfatAllocationBitmap::FreeClusters() const {
  uint64_t used = 0;
  for (size_t i = 0; i < bits_.size(); ++i) {
    uint8_t byte = bits_[i];
    // Bits past the last cluster do not count.
    if (i + 1 == bits_.size() && clusterCount_ % 8 != 0) byte &= uint8_t((1u << (clusterCount_ % 8)) - 1);
    used += std::popcount(byte);
  }
  return clusterCount_ - used;
}

}  // namespace salvora
