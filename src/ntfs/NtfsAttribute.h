#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/ByteView.h"

namespace salvora {

// Attribute types this system reads.
inline constexpr uint32_t kAttrAttributeList = 0x20;
inline constexpr uint32_t kAttrFileName = 0x30;
inline constexpr uint32_t kAttrData = 0x80;
inline constexpr uint32_t kAttrIndexAllocation = 0xA0;
inline constexpr uint32_t kAttrEnd = 0xFFFFFFFF;

// The header of one attribute record. The view covers the attribute (or more); reads past it give 0.
class AttributeHeader {
 public:
  static constexpr uint16_t kCompressionMask = 0x00FF;

  explicit AttributeHeader(ByteView attribute) : a_(attribute) {}

  uint32_t Type() const { return a_.U32(0x00); }
  uint32_t Length() const { return a_.U32(0x04); }
  bool IsNonResident() const { return a_.U8(0x08) != 0; }
  uint8_t NameLength() const { return a_.U8(0x09); }
  uint16_t NameOffset() const { return a_.U16(0x0A); }
  bool IsUnnamed() const { return NameLength() == 0; }
  // The attribute's name as UTF-8 ("" when unnamed or when the name leaves the attribute).
  std::string Name() const;
  uint16_t Flags() const { return a_.U16(0x0C); }
  bool IsCompressed() const { return (Flags() & kCompressionMask) != 0; }
  uint32_t ValueLength() const { return a_.U32(0x10); }
  uint16_t ValueOffset() const { return a_.U16(0x14); }
  // Non-resident: the first and last cluster of the attribute (inside the file) this record maps.
  uint64_t StartVcn() const { return a_.U64(0x10); }
  uint64_t LastVcn() const { return a_.U64(0x18); }
  uint16_t RunListOffset() const { return a_.U16(0x20); }
  // Non-resident: log2 of the clusters of one compression unit (0 when not compressed).
  uint8_t CompressionUnitShift() const { return a_.U8(0x22); }
  uint64_t RealSize() const { return a_.U64(0x30); }

  // The resident value [ValueOffset, ValueOffset + ValueLength) when it lies inside the attribute.
  bool ResidentValue(ByteView& value) const;

  ByteView view() const { return a_; }

 private:
  ByteView a_;
};

// The fields of a $FILE_NAME attribute, read at their fixed places from the attribute's start.
class FileNameAttribute {
 public:
  static constexpr size_t kNameOffset = 0x5A;
  enum NameSpace : uint8_t { kPosix = 0, kWin32 = 1, kDos = 2, kWin32AndDos = 3 };

  explicit FileNameAttribute(ByteView attribute) : a_(attribute) {}

  uint32_t ParentRecord() const { return a_.U32(0x18); }
  uint64_t CreationTime() const { return a_.U64(0x20); }
  uint64_t ModificationTime() const { return a_.U64(0x28); }
  uint64_t AccessTime() const { return a_.U64(0x38); }
  uint64_t RealSize() const { return a_.U64(0x48); }
  uint8_t NameLength() const { return a_.U8(0x58); }
  uint8_t NameSpaceByte() const { return a_.U8(0x59); }
  // True when the whole name lies inside the attribute.
  bool IsWellFormed() const;
  // The name as UTF-8 ("" when it does not fit).
  std::string Name() const;

 private:
  ByteView a_;
};

// One entry of an $ATTRIBUTE_LIST value.
class AttributeListEntry {
 public:
  explicit AttributeListEntry(ByteView entry) : e_(entry) {}

  uint32_t Type() const { return e_.U32(0x00); }
  uint16_t Length() const { return e_.U16(0x04); }
  uint8_t NameLength() const { return e_.U8(0x06); }
  uint8_t NameOffset() const { return e_.U8(0x07); }
  // The name as UTF-8 ("" when unnamed or when it leaves the entry).
  std::string Name() const;
  // The 48-bit number of the record holding the attribute.
  uint64_t RecordNumber() const { return e_.U64(0x10) & 0xFFFFFFFFFFFFull; }

 private:
  ByteView e_;
};

}  // namespace salvora
