#pragma once

#include <cstdint>
#include <vector>

namespace salvora {

// One decoded element of a run list. Consumers turn deltas into cluster numbers by a running sum
// and clusters into sectors by multiplying with sectors per cluster.
struct DataRun {
  uint64_t length = 0;  // clusters (only the low 32 bits are ever filled)
  int64_t delta = 0;    // first cluster minus the previous run's first cluster
  // A run without an offset field holds no clusters on the medium: it reads as zeros. Its delta is
  // 0, which alone would not tell it from a run that starts where the previous one did.
  bool sparse = false;

  bool operator==(const DataRun&) const = default;
};

using RunList = std::vector<DataRun>;

// The sector, counted from the volume start, that lies offset sectors into what runs describe;
// false when it falls in a sparse run or one starting before the volume, or past the last run.
inline bool RunSectorAt(const RunList& runs, uint64_t sectorsPerCluster, uint64_t offset, uint64_t& sector) {
  uint64_t runStart = 0;
  int64_t cluster = 0;
  for (const DataRun& run : runs) {
    cluster += run.delta;
    const uint64_t length = run.length * sectorsPerCluster;
    if (offset >= runStart && offset - runStart < length) {
      if (run.sparse || cluster < 0) return false;
      sector = uint64_t(cluster) * sectorsPerCluster + (offset - runStart);
      return true;
    }
    runStart += length;
  }
  return false;
}

}  // namespace salvora
