#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/RawSource.h"

namespace salvora::platform {

// What a salvaging read brought back.
struct SalvagedRead {
  size_t bytes = 0;       // read or zero-filled, up to the source's end
  size_t unreadable = 0;  // of those, zero-filled because the source could not read them
  int firstError = 0;     // the platform error of the first failed read
  size_t firstUnreadable = SIZE_MAX;  // buffer offset of the first zero-filled byte
};

// Reads length bytes at offset as far as a failing medium allows: a stretch that fails to read is
// left zero, one step (a sector) at a time, and the read goes on behind it. Stops early only at
// the source's end. For the small areas (boot sectors, probe areas) whose readable parts are
// worth having even when a sector among them is bad.
SalvagedRead ReadSalvaging(RawSource& source, void* buffer, size_t length, uint64_t offset,
                           size_t step = 512);

}  // namespace salvora::platform
