#include "platform/SalvagingRead.h"

#include <algorithm>
#include <cstring>

#include "platform/ErrorCodes.h"

namespace salvora::platform {

SalvagedRead ReadSalvaging(RawSource& source, void* buffer, size_t length, uint64_t offset,
                           size_t step) {
  SalvagedRead result;
  auto* out = static_cast<uint8_t*>(buffer);
  if (step == 0) step = 512;
  while (result.bytes < length) {
    int error = 0;
    long long got = source.ReadAt(out + result.bytes, length - result.bytes, offset + result.bytes, &error);
    if (got > 0) {
      result.bytes += size_t(got);
      continue;
    }
    if (got == 0) break;  // the end of the source
    if (result.firstError == 0) {
      result.firstError = error ? error : kReadFault;
      result.firstUnreadable = result.bytes;
    }
    // On to the next step boundary of the source, so the reads behind stay aligned.
    const uint64_t at = offset + result.bytes;
    const size_t skip = size_t(std::min<uint64_t>(length - result.bytes, step - at % step));
    std::memset(out + result.bytes, 0, skip);
    result.bytes += skip;
    result.unreadable += skip;
  }
  return result;
}

}  // namespace salvora::platform
