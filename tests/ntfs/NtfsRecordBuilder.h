#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/ByteView.h"

namespace salvora::test {

// Builds 1024-byte FILE records (512-byte sectors) attribute by attribute.
class RecordBuilder {
 public:
  static constexpr size_t kSize = 1024;
  static constexpr size_t kFirstAttribute = 0x38;

  RecordBuilder(uint32_t number, uint16_t flags) : r_(kSize, 0), pos_(kFirstAttribute) {
    std::memcpy(r_.data(), "FILE", 4);
    StoreLe16(&r_[0x14], uint16_t(kFirstAttribute));
    StoreLe16(&r_[0x16], flags);
    StoreLe32(&r_[0x1C], kSize);
    StoreLe32(&r_[0x2C], number);
  }

  RecordBuilder& FileName(const std::string& name, uint32_t parent, uint64_t size = 0,
                          uint8_t nameSpace = 1) {
    size_t length = Align(0x5A + 2 * name.size());
    uint8_t* a = Begin(0x30, length);
    a[0x08] = 0;
    StoreLe32(a + 0x10, uint32_t(length - 0x18));
    StoreLe16(a + 0x14, 0x18);
    StoreLe32(a + 0x18, parent);
    StoreLe64(a + 0x20, 0x01D0000000000000ull);
    StoreLe64(a + 0x28, 0x01D0000000000001ull);
    StoreLe64(a + 0x38, 0x01D0000000000002ull);
    StoreLe64(a + 0x48, size);
    a[0x58] = uint8_t(name.size());
    a[0x59] = nameSpace;
    for (size_t i = 0; i < name.size(); ++i) a[0x5A + 2 * i] = uint8_t(name[i]);
    return *this;
  }
  RecordBuilder& ResidentData(const std::string& value) {
    size_t length = Align(0x18 + value.size());
    uint8_t* a = Begin(0x80, length);
    StoreLe32(a + 0x10, uint32_t(value.size()));
    StoreLe16(a + 0x14, 0x18);
    std::memcpy(a + 0x18, value.data(), value.size());
    return *this;
  }
  // runList: encoded run bytes (terminated by the builder).
  RecordBuilder& NonResidentData(const std::vector<uint8_t>& runList, uint64_t allocated,
                                 uint64_t realSize) {
    size_t length = Align(0x40 + runList.size() + 1);
    uint8_t* a = Begin(0x80, length);
    a[0x08] = 1;
    StoreLe16(a + 0x20, 0x40);
    StoreLe64(a + 0x28, allocated);
    StoreLe64(a + 0x30, realSize);
    StoreLe64(a + 0x38, realSize);
    std::memcpy(a + 0x40, runList.data(), runList.size());
    return *this;
  }
  RecordBuilder& AttributeList() {
    uint8_t* a = Begin(0x20, 0x20);
    StoreLe32(a + 0x10, 8);
    StoreLe16(a + 0x14, 0x18);
    return *this;
  }
  // The end marker, bytes in use and the update sequence (tails of both strides = 0x0101).
  std::vector<uint8_t> Build() {
    std::vector<uint8_t> r = r_;
    StoreLe32(&r[pos_], 0xFFFFFFFF);
    StoreLe32(&r[0x18], uint32_t(pos_ + 8));
    StoreLe16(&r[0x30], 0x0101);
    for (size_t i = 0; i < kSize / 512; ++i) {
      size_t tail = (i + 1) * 512 - 2;
      r[0x32 + 2 * i] = r[tail];
      r[0x33 + 2 * i] = r[tail + 1];
      StoreLe16(&r[tail], 0x0101);
    }
    return r;
  }

 private:
  static size_t Align(size_t n) { return (n + 7) & ~size_t(7); }
  uint8_t* Begin(uint32_t type, size_t length) {
    uint8_t* a = &r_[pos_];
    StoreLe32(a, type);
    StoreLe32(a + 4, uint32_t(length));
    pos_ += length;
    return a;
  }
  std::vector<uint8_t> r_;
  size_t pos_;
};

}  // namespace salvora::test
