#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

// Bounds-checked little-endian reads from a buffer that came from the medium. A read that would
// leave the buffer yields 0 (and Has() tells whether it fits), so parsers of hostile input can
// never step outside what they were given.
namespace salvora {

class ByteView {
 public:
  constexpr ByteView() = default;
  constexpr ByteView(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  ByteView(const void* data, size_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}

  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  bool Has(size_t offset, size_t length) const {
    return offset <= size_ && length <= size_ - offset;
  }

  uint8_t U8(size_t offset) const { return Has(offset, 1) ? data_[offset] : 0; }
  uint16_t U16(size_t offset) const { return static_cast<uint16_t>(Read(offset, 2)); }
  uint32_t U32(size_t offset) const { return static_cast<uint32_t>(Read(offset, 4)); }
  uint64_t U64(size_t offset) const { return Read(offset, 8); }
  uint16_t U16Be(size_t offset) const { return static_cast<uint16_t>(ReadBe(offset, 2)); }
  uint32_t U32Be(size_t offset) const { return static_cast<uint32_t>(ReadBe(offset, 4)); }

  // True when the bytes at offset equal text (false when they do not fit).
  bool Equals(size_t offset, std::string_view text) const {
    return Has(offset, text.size()) && std::memcmp(data_ + offset, text.data(), text.size()) == 0;
  }
  bool Equals(size_t offset, const uint8_t* bytes, size_t length) const {
    return Has(offset, length) && std::memcmp(data_ + offset, bytes, length) == 0;
  }
  // The sub-view [offset, offset + length), clipped to the buffer.
  ByteView Sub(size_t offset, size_t length) const {
    if (offset > size_) return {};
    if (length > size_ - offset) length = size_ - offset;
    return ByteView(data_ + offset, length);
  }

 private:
  uint64_t Read(size_t offset, size_t width) const {
    if (!Has(offset, width)) return 0;
    uint64_t value = 0;
    for (size_t i = width; i-- > 0;) value = (value << 8) | data_[offset + i];
    return value;
  }
  uint64_t ReadBe(size_t offset, size_t width) const {
    if (!Has(offset, width)) return 0;
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i) value = (value << 8) | data_[offset + i];
    return value;
  }

  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

// Little-endian stores into a buffer the caller owns and has sized.
inline void StoreLe16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
inline void StoreLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
inline void StoreLe64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = uint8_t(v >> (8 * i));
}

}  // namespace salvora
