#pragma once

#include <cstdint>

#include "scan/IFileRecoveryParse.h"
#include "scan/ISweepEngine.h"

namespace salvora {

// The fast engine's usage map asked sector by sector, as the deep engines' placing walks the
// clusters: each answer keeps the used run before the free run it found, so a walk in order asks
// the map once per run, not once per cluster.
class LiveFreeSectors {
 public:
  // volumeStart: the absolute sector the fast engine's relative sectors count from.
  LiveFreeSectors(IFileRecoveryParse& fast, uint64_t volumeStart) : fast_(fast), start_(volumeStart) {}
  bool Free(uint64_t sector);
  // A test that asks this object; valid while it lives.
  FreeSectorTest Test() {
    return [this](uint64_t sector) { return Free(sector); };
  }

 private:
  IFileRecoveryParse& fast_;
  uint64_t start_;
  // The last answer: [asked, freeStart) in use, [freeStart, freeEnd) free (relative sectors).
  uint64_t asked_ = 0, freeStart_ = 0, freeEnd_ = 0;
};

}  // namespace salvora
