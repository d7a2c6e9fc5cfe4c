#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/ByteView.h"

namespace salvora {

inline constexpr uint32_t kFileRecordMagic = 0x454C4946;  // "FILE"

// The header of a FILE record of the master file table.
class FileRecordHeader {
 public:
  static constexpr uint16_t kInUse = 0x0001;
  static constexpr uint16_t kDirectory = 0x0002;

  explicit FileRecordHeader(ByteView record) : r_(record) {}

  bool HasMagic() const { return r_.U32(0x00) == kFileRecordMagic; }
  uint16_t FirstAttributeOffset() const { return r_.U16(0x14); }
  uint16_t Flags() const { return r_.U16(0x16); }
  bool IsInUse() const { return (Flags() & kInUse) != 0; }
  bool IsDirectory() const { return (Flags() & kDirectory) != 0; }
  uint32_t BytesInUse() const { return r_.U32(0x18); }
  uint32_t BytesAllocated() const { return r_.U32(0x1C); }
  uint32_t RecordNumber() const { return r_.U32(0x2C); }
  uint16_t UpdateSequenceNumber() const { return r_.U16(0x30); }
  // The tail word of the first 512-byte stride (equal to the sequence number before fix-up).
  uint16_t FirstStrideTail() const { return r_.U16(0x1FE); }

 private:
  ByteView r_;
};

// Whether buffer holds a FILE record of recordSize bytes (the sweep's test for record sectors).
bool IsFileRecord(ByteView buffer, int recordSize);

}  // namespace salvora
