#include "carving/SplicedByteSource.h"

#include <algorithm>

namespace salvora {

SplicedByteSource::SplicedByteSource(ByteSource& base, uint64_t firstLength, uint64_t secondOffset,
                                     uint64_t limit)
    : base_(base), firstLength_(firstLength), secondOffset_(secondOffset), limit_(limit) {
  // Never more than the base can hold behind the second run's start.
  const uint64_t baseLimit = base.Limit();
  const uint64_t second = baseLimit > secondOffset ? baseLimit - secondOffset : 0;
  firstLength_ = std::min(firstLength_, baseLimit);
  limit_ = std::min(limit_, firstLength_ + second);
}

const uint8_t* SplicedByteSource::Window(uint64_t offset, size_t& available) {
  if (offset >= limit_) return nullptr;
  const bool first = offset < firstLength_;
  const uint64_t end = first ? firstLength_ : limit_;
  const uint64_t at = first ? offset : secondOffset_ + (offset - firstLength_);
  size_t got = 0;
  const uint8_t* p = base_.Window(at, got);
  if (!p) return nullptr;
  available = size_t(std::min<uint64_t>(got, end - offset));
  return p;
}

}  // namespace salvora
