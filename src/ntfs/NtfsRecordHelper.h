#pragma once

#include <cstddef>
#include <cstdint>

#include "ntfs/DataRun.h"
#include "platform/ByteView.h"

namespace salvora {

// The update-sequence fix-up of FILE records and the run-list decoder, for one sector size.
class NtfsRecordHelper {
 public:
  static constexpr size_t kStride = 512;
  static constexpr size_t kSavedWordsOffset = 0x32;

  // Sectors per record become 2 on 512-byte sectors, 1 on any other size.
  int SetSectorSize(int bytesPerSector);
  int BytesPerSector() const { return bytesPerSector_; }
  int SectorsPerRecord() const { return sectorsPerRecord_; }
  int RecordSize() const { return bytesPerSector_ * sectorsPerRecord_; }

  // Restores the tail word of every 512-byte stride of the record at the start of buffer from the
  // saved words at 0x32. Only strides that lie inside both the record and the buffer are patched.
  // -1 when the record's first byte is 0 (no record).
  int ApplyFixup(uint8_t* buffer, size_t bufferSize) const;

  // Appends the runs of the non-resident attribute that starts attribute (the view runs to the end
  // of the record buffer). Decodes nothing when the attribute's length does not fit in the view.
  void DecodeRunList(ByteView attribute, RunList& runs) const;

 private:
  int bytesPerSector_ = 512;
  int sectorsPerRecord_ = 2;
};

}  // namespace salvora
