#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "carving/Testers.h"

namespace salvora {

// For each value of a sector's first byte, the testers of the format table that can answer for it,
// in table order. Running only these gives the same first answer as running every tester, since
// the others answer kTypeNone for that byte; most sectors then meet a handful of cheap tests.
class TesterDispatch {
 public:
  static const TesterDispatch& Instance();

  const std::vector<Tester>& CandidatesFor(uint8_t firstByte) const { return byFirstByte_[firstByte]; }

 private:
  TesterDispatch();
  std::array<std::vector<Tester>, 256> byFirstByte_;
};

}  // namespace salvora
