#pragma once

#include <cstdint>
#include <string>

#include "platform/SameDevice.h"

namespace salvora {

// One scan source as discovered: a volume, a free stretch of a disk (gap) or a disk that carries
// no volume (whole disk). Copied by value.
struct VolumeEntry {
  static constexpr uint32_t kUnknown = 0xFFFFFFFFu;
  static constexpr char16_t kNoLetter = u'*';

  enum class Kind { Volume, Gap, WholeDisk };

  // Drive letter, or after numbering the running number (1, 2, 3 ...) of a letterless entry.
  // Volumes here have no letters, so every entry carries its number.
  char16_t letter = kNoLetter;
  bool lettered = false;            // true only when letter is a real drive letter
  uint8_t type = 0;                 // partition type byte, or 0x07 NTFS, 0x0B FAT32, 0x06 FAT
  uint32_t diskNumber = kUnknown;
  uint32_t partitionNumber = kUnknown;
  uint64_t totalBytes = 0;
  uint64_t usedBytes = 0;
  uint64_t freeBytes = 0;
  uint64_t start = 0;               // first sector on the disk, in the disk's sectors
  uint64_t length = 0;              // sectors
  uint32_t bytesPerSector = 512;
  std::string fileSystemName;       // "NTFS", "FAT32", "FAT", "exFAT", "ext4"; empty for gaps
  std::string rootPath;             // mount point with a trailing '/'; empty when not mounted
  std::string label;                // UTF-8; may be empty
  std::string devicePath;           // partition node ("/dev/sdb1"); empty when the kernel made none
  std::string diskPath;             // the whole disk ("/dev/sdb") or the image mapped as a disk
  Kind kind = Kind::Volume;

  // The running number of a letterless entry (0 before numbering or for a lettered one).
  int Number() const { return lettered || letter == kNoLetter ? 0 : int(letter); }
  // The span of the disk this entry covers, for device checks.
  platform::SourceSpan Span() const {
    platform::SourceSpan span;
    span.diskPath = diskPath;
    if (kind != Kind::WholeDisk) {
      span.startByte = start * bytesPerSector;
      span.lengthBytes = length * bytesPerSector;
    }
    return span;
  }
};

// True when writing to path would write to the medium of entry (for a whole disk: to any part of
// that disk).
inline bool SameDevice(const std::string& path, const VolumeEntry& entry) {
  return platform::SameDevice(path, entry.Span());
}

}  // namespace salvora
