#pragma once

#include <cstdint>
#include <type_traits>

// A little-endian unsigned integer stored as bytes, so that packed on-disk layouts have alignment 1
// and decode the same on every host.
namespace salvora {

template <typename T>
class LittleEndian {
  static_assert(std::is_unsigned_v<T>);

 public:
  constexpr T get() const {
    T value = 0;
    for (unsigned i = sizeof(T); i-- > 0;) value = static_cast<T>((value << 8) | bytes_[i]);
    return value;
  }
  constexpr void set(T value) {
    for (unsigned i = 0; i < sizeof(T); ++i) bytes_[i] = static_cast<uint8_t>(value >> (8 * i));
  }

 private:
  uint8_t bytes_[sizeof(T)] = {};
};

using Le16 = LittleEndian<uint16_t>;
using Le32 = LittleEndian<uint32_t>;
using Le64 = LittleEndian<uint64_t>;
static_assert(sizeof(Le64) == 8 && alignof(Le64) == 1);

}  // namespace salvora
