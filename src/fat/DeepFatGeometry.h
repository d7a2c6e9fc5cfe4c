#pragma once

#include <cstdint>
#include <optional>

#include "platform/ByteView.h"

namespace salvora {

// One candidate layout of a FAT volume as the deep scan sees it: where cluster 2 lies and how many
// sectors a cluster spans. Sector addresses are absolute (base is the volume's first sector).
// The fast engine's FatGeometry describes a volume read from a trusted boot sector; this one may
// come from two directory clusters alone.
struct DeepFatGeometry {
  // Distance from the fixed root folder to cluster 2 when no boot sector gives it.
  static constexpr uint32_t kGuessedRootSectors = 32;

  uint32_t sectorsPerCluster = 0;
  uint32_t dataOffset = 0;  // sectors from base to cluster 2
  uint64_t base = 0;
  uint32_t rootSectors = kGuessedRootSectors;

  uint64_t DataStart() const { return base + dataOffset; }
  // First sector of cluster c; clusters below 2 name the fixed root folder just before cluster 2.
  uint64_t ClusterSector(uint32_t c) const;
  // True when sector is the first sector of a cluster (cluster set to its number).
  bool IsClusterStart(uint64_t sector, uint32_t& cluster) const;
  // The cluster whose sectors hold sector; 0 (the fixed root) for sectors before cluster 2.
  uint32_t ClusterHolding(uint64_t sector) const;
  // True when sector lies in cluster c's first sector or the sectorsPerCluster sectors after it.
  bool RunHolds(uint32_t c, uint64_t sector) const;

  bool operator==(const DeepFatGeometry&) const = default;
};

// A subdirectory's own cluster number (from its "." entry) and the sector it starts at.
struct ClusterAnchor {
  uint32_t cluster = 0;
  uint64_t sector = 0;
};

// 1, 2, 4, ..., 128.
bool IsValidSectorsPerCluster(uint64_t k);

// The layout a FAT boot sector describes, in sectors of sectorSize bytes, for a volume starting
// at base. rootCluster gets FAT32's root folder cluster (0 otherwise). nullopt when the bytes are
// not a FAT boot sector or their sizes cannot be expressed in the engine's sectors.
std::optional<DeepFatGeometry> GeometryFromBootArea(ByteView boot, uint64_t base,
                                                    uint32_t sectorSize, uint32_t& rootCluster);

// The layout implied by two subdirectory starts, or nullopt when they do not agree on one
// (same cluster, sectors out of the clusters' order, a cluster size that is not a power of two up
// to 128, or cluster 2 before the volume start).
std::optional<DeepFatGeometry> GeometryFromAnchors(const ClusterAnchor& a, const ClusterAnchor& b,
                                                   uint64_t base);

}  // namespace salvora
