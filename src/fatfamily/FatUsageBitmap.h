#pragma once

#include <cstdint>
#include <vector>

#include "fatfamily/FatTable.h"

namespace salvora {

// One bit per data cluster (bit k for cluster k + 2, least significant bit first): set = in use.
// The advanced scan sweeps only the runs of clear bits.
class FatUsageBitmap {
 public:
  // Marks every cluster 2 .. clusterCount + 1 whose entry is nonzero, and the cluster its entry
  // links to; stops at a link past the bitmap. Entries that cannot be read are skipped.
  void Build(FatTable& table, uint32_t clusterCount);
  // Direct access for callers that already know the usage (tests, other maps).
  void Assign(std::vector<uint8_t> bits) { bits_ = std::move(bits); }
  const std::vector<uint8_t>& Bits() const { return bits_; }
  bool IsUsed(uint32_t cluster) const;

  // Moves start (sectors relative to the partition) to the first free sector at or after it and
  // sets length to the free run there, both clipped to the partition. Returns 1.
  int NextUnusedRange(uint64_t& start, uint64_t& length, uint64_t partitionSectors,
                      uint64_t dataStart, uint32_t sectorsPerCluster) const;

 private:
  void Set(uint64_t k) { bits_[size_t(k / 8)] |= uint8_t(1u << (k % 8)); }
  bool Bit(uint64_t k) const { return (bits_[size_t(k / 8)] >> (k % 8)) & 1; }

  std::vector<uint8_t> bits_;
};

}  // namespace salvora
