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

}  // namespace salvora
