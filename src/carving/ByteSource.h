#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace salvora {

// A bounded, read-only view of a candidate file's bytes, counted from the file's first byte. The
// structure walks read the medium only through it, so the same walk runs over a carving source
// (sectors through the scanner's work buffer) and over bytes in memory (tests, fuzzing, checks of
// files already recovered). Every read is bounded by Limit(); a read past it, or a read fault,
// simply fails.
class ByteSource {
 public:
  virtual ~ByteSource() = default;

  // How many bytes may be read at most: the format's limit, or the end of the medium.
  virtual uint64_t Limit() const = 0;
  // A pointer to the bytes at offset and how many follow it contiguously (at least 1), or nullptr
  // at or past the limit or on a read fault. The pointer stays valid until the next call.
  virtual const uint8_t* Window(uint64_t offset, size_t& available) = 0;

  // Copies n bytes at offset; false when they are not all there.
  bool Read(uint64_t offset, void* out, size_t n);
  std::optional<uint8_t> U8(uint64_t offset);
  std::optional<uint16_t> U16Be(uint64_t offset);
  std::optional<uint32_t> U32Be(uint64_t offset);
  std::optional<uint64_t> U64Be(uint64_t offset);
  std::optional<uint16_t> U16Le(uint64_t offset);
  std::optional<uint32_t> U32Le(uint64_t offset);
  std::optional<uint64_t> U64Le(uint64_t offset);
  // The first offset in [from, to) holding pattern, or nullopt; pieces are searched with an overlap
  // so that a pattern straddling two windows is found.
  std::optional<uint64_t> Find(uint64_t from, uint64_t to, const void* pattern, size_t length);
};

// Bytes held in memory.
class MemoryByteSource : public ByteSource {
 public:
  MemoryByteSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint64_t Limit() const override { return size_; }
  const uint8_t* Window(uint64_t offset, size_t& available) override {
    if (offset >= size_) return nullptr;
    available = size_ - size_t(offset);
    return data_ + offset;
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

}  // namespace salvora
