#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace salvora::app {

// One scan source as the disk list shows it: a volume, a free stretch or a whole blank disk.
struct DiskSourceEntry {
  char16_t letter = u'*';        // drive letter, or the running number of an entry without one
  uint8_t type = 0;              // partition / file-system type code, 0 for gaps and whole disks
  uint32_t diskNumber = 0xFFFFFFFFu;
  uint32_t partitionNumber = 0xFFFFFFFFu;
  uint64_t totalBytes = 0;
  uint64_t usedBytes = 0;
  uint64_t freeBytes = 0;
  uint64_t start = 0;            // first sector on the disk
  uint64_t length = 0;           // sectors
  std::string fileSystem;        // UTF-8
  std::string rootPath;
  std::string label;

  bool HasLetter() const { return (letter >= u'A' && letter <= u'Z') || (letter >= u'a' && letter <= u'z'); }
  bool IsGap() const { return type == 0 && fileSystem.empty(); }
};

// Where the main window gets its scan sources from (the disk discovery of the machine).
class IDiskSource {
 public:
  virtual ~IDiskSource() = default;
  // Discovers afresh and lists every entry, disks ascending, each disk's entries by start.
  // 1 on success, 0 when discovery failed (entries then empty).
  virtual int ListAll(std::vector<DiskSourceEntry>& entries) = 0;
  virtual bool IsRemovableDisk(uint32_t diskNumber) = 0;
  // Discovers afresh and reports the entries of old that are gone (no entry of the same disk
  // number and start sector any more).
  virtual void FindRemoved(const std::vector<DiskSourceEntry>& old, std::vector<DiskSourceEntry>& removed);
};

// The machine's disks.
std::unique_ptr<IDiskSource> MakeSystemDiskSource();

}  // namespace salvora::app
