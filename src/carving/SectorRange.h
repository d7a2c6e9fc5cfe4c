#pragma once

#include <cstdint>

namespace salvora {

// A stretch of the source in absolute sectors: what the sweep reads, what a map says is free.
struct SectorRange {
  uint64_t first = 0;
  uint64_t count = 0;
};

}  // namespace salvora
