#include "recovery/LiveFreeSectors.h"

namespace salvora {

bool LiveFreeSectors::Free(uint64_t sector) {
  // The volume's first sector is its boot sector; the map's 0 means "the data area's start".
  if (sector <= start_) return false;
  const uint64_t s = sector - start_;
  if (s >= asked_ && s < freeEnd_) return s >= freeStart_;
  uint64_t first = s, length = 1;
  fast_.NextUnusedRange(first, length);
  if (first < s) return false;  // a map that answers behind the question is not followed
  asked_ = s;
  freeStart_ = first;
  freeEnd_ = length == 0 ? first : first + length;
  return length != 0 && first == s;
}

}  // namespace salvora
