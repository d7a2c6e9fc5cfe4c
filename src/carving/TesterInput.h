#pragma once

#include <cstdint>

#include "platform/ByteView.h"

namespace salvora {

// A tester's input as a bounds-checked view; empty when the input is null or shorter than need,
// which every tester answers with kTypeNone.
inline ByteView TesterInput(const uint8_t* bytes, int length, int need) {
  if (bytes == nullptr || length < need || length <= 0) return {};
  return ByteView(bytes, size_t(length));
}

}  // namespace salvora
