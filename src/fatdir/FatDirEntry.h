#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/ByteView.h"

namespace salvora {

// One 32-byte FAT directory entry, 8.3 or long-name, read with bounds checks. A view shorter than
// 32 bytes reads as zeros past its end.
class FatDirEntry {
 public:
  static constexpr size_t kSize = 32;
  static constexpr uint8_t kDeletedMark = 0xE5;
  static constexpr uint8_t kAttrReadOnly = 0x01;
  static constexpr uint8_t kAttrVolumeLabel = 0x08;
  static constexpr uint8_t kAttrLongName = 0x0F;
  static constexpr uint8_t kAttrDirectory = 0x10;
  static constexpr uint8_t kAttrArchive = 0x20;
  static constexpr uint8_t kLastLongNameFlag = 0x40;
  static constexpr uint8_t kLowerCaseBase = 0x08;
  static constexpr uint8_t kLowerCaseExtension = 0x10;
  // 255 characters, 13 to a part.
  static constexpr int kMaxLongNameParts = 20;

  explicit FatDirEntry(ByteView entry) : e_(entry.Sub(0, kSize)) {}
  explicit FatDirEntry(const uint8_t* entry) : e_(entry, kSize) {}

  const uint8_t* Bytes() const { return e_.data(); }
  uint8_t NameByte(size_t i) const { return e_.U8(i); }  // 0..10: 8 name bytes, 3 extension bytes
  uint8_t FirstByte() const { return e_.U8(0); }
  uint8_t Attribute() const { return e_.U8(11); }
  // Byte 12, the case of the 8.3 name as Windows shows it: lower-case base (0x08) and extension
  // (0x10); the stored bytes are upper case either way.
  bool LowerCaseBase() const { return (e_.U8(12) & kLowerCaseBase) != 0; }
  bool LowerCaseExtension() const { return (e_.U8(12) & kLowerCaseExtension) != 0; }
  uint8_t CreationHundredths() const { return e_.U8(13); }
  uint16_t CreationTime() const { return e_.U16(14); }
  uint16_t CreationDate() const { return e_.U16(16); }
  uint16_t LastAccessDate() const { return e_.U16(18); }
  uint16_t HighCluster() const { return e_.U16(20); }
  uint16_t WriteTime() const { return e_.U16(22); }
  uint16_t WriteDate() const { return e_.U16(24); }
  uint16_t LowCluster() const { return e_.U16(26); }
  uint32_t Size() const { return e_.U32(28); }
  uint32_t FirstCluster() const { return (uint32_t(HighCluster()) << 16) | LowCluster(); }

  // Long-name entries: sequence number (bit 40 marks the last piece) and the short-name checksum.
  uint8_t Sequence() const { return e_.U8(0); }
  uint8_t LongNameChecksum() const { return e_.U8(13); }
  // The i-th of the 13 UTF-16 characters of a long-name piece (5 at 1, 6 at 14, 2 at 28).
  uint16_t LongNameChar(int i) const;

  bool IsDeleted() const { return FirstByte() == kDeletedMark; }
  bool IsEndMarker() const { return FirstByte() == 0; }
  bool IsLongName() const { return Attribute() == kAttrLongName; }
  bool IsVolumeLabel() const { return Attribute() == kAttrVolumeLabel; }
  bool IsDirectory() const { return (Attribute() & kAttrDirectory) != 0; }
  bool ClustersZero() const { return HighCluster() == 0 && LowCluster() == 0; }
  // The "." (the folder itself) and ".." (its parent) entries that open every subdirectory.
  bool HasDotName() const { return NameByte(0) == '.' && NameByte(1) == ' '; }
  bool HasDotDotName() const { return NameByte(0) == '.' && NameByte(1) == '.'; }
  bool IsDotEntry() const { return HasDotName() && IsDirectory(); }
  bool IsDotDotEntry() const { return HasDotDotName() && IsDirectory(); }

  // The checksum a long name carries for this entry's 11 name bytes.
  uint8_t ShortNameChecksum() const;

 private:
  ByteView e_;
};

// A byte no 8.3 name holds: a control character (0 included), lower case, '.' or \ : * ? " < > |.
bool IsForbiddenShortNameByte(uint8_t c);

// The published checksum over 11 short-name bytes: rotate right by one bit, then add the next byte.
uint8_t ShortNameChecksum(const uint8_t* name11);

}  // namespace salvora
