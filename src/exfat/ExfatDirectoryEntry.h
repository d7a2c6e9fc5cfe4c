#pragma once

#include <cstdint>
#include <string>

#include "platform/ByteView.h"

namespace salvora {

// One 32-byte exFAT directory entry. The type byte holds the in-use bit (7), the category
// (6: secondary), the importance (5: benign) and a type code; a deleted entry keeps its type with
// the in-use bit cleared.
class ExfatDirectoryEntry {
 public:
  static constexpr size_t kSize = 32;
  static constexpr uint8_t kInUse = 0x80;
  // Type bytes of the in-use forms.
  static constexpr uint8_t kEndOfDirectory = 0x00;
  static constexpr uint8_t kBitmap = 0x81;
  static constexpr uint8_t kUpcase = 0x82;
  static constexpr uint8_t kLabel = 0x83;
  static constexpr uint8_t kFile = 0x85;
  static constexpr uint8_t kVolumeGuid = 0xA0;
  static constexpr uint8_t kStream = 0xC0;
  static constexpr uint8_t kName = 0xC1;
  static constexpr uint8_t kVendorExtension = 0xE0;
  static constexpr uint8_t kVendorAllocation = 0xE1;

  explicit ExfatDirectoryEntry(ByteView entry) : e_(entry) {}

  bool IsComplete() const { return e_.Has(0, kSize); }
  uint8_t Type() const { return e_.U8(0); }
  bool InUse() const { return (Type() & kInUse) != 0; }
  bool IsEndOfDirectory() const { return Type() == kEndOfDirectory; }
  bool IsSecondary() const { return (Type() & 0x40) != 0; }
  bool IsBenign() const { return (Type() & 0x20) != 0; }
  // The type byte with the in-use bit set: the same for a live entry and its deleted form.
  uint8_t LiveType() const { return uint8_t(Type() | kInUse); }
  // True when this is a live or deleted entry of the given live type.
  bool Is(uint8_t liveType) const { return Type() != 0 && LiveType() == liveType; }
  // Secondary entries' flags: bit 0 allocation possible, bit 1 no FAT chain.
  uint8_t SecondaryFlags() const { return e_.U8(1); }
  // Cluster and length of a secondary entry that allocates clusters (stream, bitmap, upcase).
  uint32_t FirstCluster() const { return e_.U32(20); }
  uint64_t DataLength() const { return e_.U64(24); }

  ByteView Bytes() const { return e_; }

 protected:
  ByteView e_;
};

// File entry (0x85): the primary entry of a file or folder's entry set.
class ExfatFileEntry : public ExfatDirectoryEntry {
 public:
  static constexpr uint16_t kReadOnly = 0x01, kHidden = 0x02, kSystem = 0x04, kDirectory = 0x10,
                            kArchive = 0x20;
  using ExfatDirectoryEntry::ExfatDirectoryEntry;

  uint8_t SecondaryCount() const { return e_.U8(1); }
  uint16_t SetChecksum() const { return e_.U16(2); }
  uint16_t Attributes() const { return e_.U16(4); }
  bool IsDirectory() const { return (Attributes() & kDirectory) != 0; }
  uint32_t CreateTimestamp() const { return e_.U32(8); }
  uint32_t ModifyTimestamp() const { return e_.U32(12); }
  uint32_t AccessTimestamp() const { return e_.U32(16); }
  uint8_t Create10ms() const { return e_.U8(20); }
  uint8_t Modify10ms() const { return e_.U8(21); }
  uint8_t CreateUtcOffset() const { return e_.U8(22); }
  uint8_t ModifyUtcOffset() const { return e_.U8(23); }
  uint8_t AccessUtcOffset() const { return e_.U8(24); }
};

// Stream extension entry (0xC0): name length and hash, sizes and the first cluster.
class ExfatStreamEntry : public ExfatDirectoryEntry {
 public:
  using ExfatDirectoryEntry::ExfatDirectoryEntry;

  bool AllocationPossible() const { return (SecondaryFlags() & 1) != 0; }
  bool NoFatChain() const { return (SecondaryFlags() & 2) != 0; }
  uint8_t NameLength() const { return e_.U8(3); }
  uint16_t NameHash() const { return e_.U16(4); }
  uint64_t ValidDataLength() const { return e_.U64(8); }
};

// File name entry (0xC1): up to 15 UTF-16 units of the name.
class ExfatNameEntry : public ExfatDirectoryEntry {
 public:
  static constexpr size_t kUnits = 15;
  using ExfatDirectoryEntry::ExfatDirectoryEntry;

  char16_t Unit(size_t i) const { return i < kUnits ? char16_t(e_.U16(2 + 2 * i)) : 0; }
};

// Allocation bitmap entry (0x81): bit 0 of the flags tells the first bitmap from the second.
class ExfatBitmapEntry : public ExfatDirectoryEntry {
 public:
  using ExfatDirectoryEntry::ExfatDirectoryEntry;
  bool IsSecondBitmap() const { return (e_.U8(1) & 1) != 0; }
};

// Up-case table entry (0x82).
class ExfatUpcaseEntry : public ExfatDirectoryEntry {
 public:
  using ExfatDirectoryEntry::ExfatDirectoryEntry;
  uint32_t TableChecksum() const { return e_.U32(4); }
};

// Volume label entry (0x83): up to 11 UTF-16 units.
class ExfatLabelEntry : public ExfatDirectoryEntry {
 public:
  static constexpr size_t kMaxUnits = 11;
  using ExfatDirectoryEntry::ExfatDirectoryEntry;
  uint8_t CharacterCount() const { return e_.U8(1); }
  // The label as UTF-8 (empty when the count is out of range).
  std::string Label() const;
};

}  // namespace salvora
