#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/LittleEndian.h"

namespace salvora {

// Where an interrupted sweep stands (relative sectors of the partition).
struct ResumePosition {
  uint64_t rangeStart = 0;    // start of the free range being swept
  uint64_t rangeLength = 0;   // its length in sectors
  uint64_t rangeSwept = 0;    // sectors of that range already swept
  uint64_t totalSwept = 0;    // sectors swept in total
  uint64_t foundBefore = 0;   // records found before the interruption
};

// One interrupted advanced scan in the catalogue file: 1,120 bytes, packed, little-endian.
//
// Offset 64 identifies an unchanged source; a disk source stores, in this order of preference:
//  - a mounted volume: statvfs free bytes (f_bfree x f_frsize, every free block);
//  - an unmounted FAT or NTFS volume: free clusters x cluster size, counted from its own
//    allocation table or $Bitmap by the counters the engines register (SourceIdentity.h);
//  - anything else: a 64-bit fingerprint of the partition's first 1 MiB.
// An image stores 0 there and is identified by its last-write time at offset 72.
class ScanSessionEntry {
 public:
  static constexpr size_t kSize = 1120;
  static constexpr size_t kPathUnits = 260;
  static constexpr uint32_t kImageDiskNumber = 128;

  uint32_t DiskNumber() const { return diskNumber_.get(); }
  void SetDiskNumber(uint32_t v) { diskNumber_.set(v); }
  uint64_t PartitionStart() const { return partitionStart_.get(); }
  void SetPartitionStart(uint64_t v) { partitionStart_.set(v); }
  uint64_t PartitionSectors() const { return partitionSectors_.get(); }
  void SetPartitionSectors(uint64_t v) { partitionSectors_.set(v); }
  ResumePosition Resume() const;
  void SetResume(const ResumePosition& resume);
  uint64_t FreeBytes() const { return freeBytes_.get(); }
  void SetFreeBytes(uint64_t v) { freeBytes_.set(v); }
  uint64_t ImageWriteTime() const { return imageWriteTime_.get(); }
  void SetImageWriteTime(uint64_t v) { imageWriteTime_.set(v); }

  // UTF-8 views of the two UTF-16 path fields (up to the first NUL).
  std::string ImagePath() const;
  std::string SessionFolder() const;
  // False (field unchanged) when the path does not fit in 259 UTF-16 units.
  bool SetImagePath(const std::string& path);
  bool SetSessionFolder(const std::string& folder);

  const uint8_t* bytes() const { return reinterpret_cast<const uint8_t*>(this); }
  uint8_t* bytes() { return reinterpret_cast<uint8_t*>(this); }

 private:
  friend struct ScanSessionEntryLayout;
  Le32 diskNumber_;
  Le32 zero_;
  Le64 partitionStart_;
  Le64 partitionSectors_;
  Le64 rangeStart_;
  Le64 rangeLength_;
  Le64 rangeSwept_;
  Le64 totalSwept_;
  Le64 foundBefore_;
  Le64 freeBytes_;
  Le64 imageWriteTime_;
  uint8_t imagePath_[kPathUnits * 2] = {};
  uint8_t sessionFolder_[kPathUnits * 2] = {};
};

struct ScanSessionEntryLayout {
  static_assert(sizeof(ScanSessionEntry) == ScanSessionEntry::kSize);
  static_assert(alignof(ScanSessionEntry) == 1);
  static_assert(offsetof(ScanSessionEntry, rangeStart_) == 24);
  static_assert(offsetof(ScanSessionEntry, foundBefore_) == 56);
  static_assert(offsetof(ScanSessionEntry, freeBytes_) == 64);
  static_assert(offsetof(ScanSessionEntry, imageWriteTime_) == 72);
  static_assert(offsetof(ScanSessionEntry, imagePath_) == 80);
  static_assert(offsetof(ScanSessionEntry, sessionFolder_) == 600);
};

}  // namespace salvora
