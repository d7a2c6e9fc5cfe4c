#pragma once

#include <cstdint>

#include "carving/ByteSource.h"

namespace salvora {

// A file put together from two runs of another source: its bytes [0, firstLength) and then the
// bytes from secondOffset on, up to `limit` bytes in all. With secondOffset == firstLength it is
// simply the first `limit` bytes of the source.
class SplicedByteSource : public ByteSource {
 public:
  SplicedByteSource(ByteSource& base, uint64_t firstLength, uint64_t secondOffset, uint64_t limit);

  uint64_t Limit() const override { return limit_; }
  const uint8_t* Window(uint64_t offset, size_t& available) override;

 private:
  ByteSource& base_;
  uint64_t firstLength_;
  uint64_t secondOffset_;
  uint64_t limit_;
};

}  // namespace salvora
