#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/DiskMap.h"
#include "storage/EntryNumbering.h"
#include "storage/VolumeEntry.h"

namespace salvora {

// Where discovery looks; tests point these at a fake tree.
struct DiscoveryRoots {
  std::string sysfs = "/sys";
  std::string dev = platform::DeviceFolder();
  std::string mountInfo = "/proc/self/mountinfo";
};

// Finds the disks of the machine, the volumes on them and the stretches no volume covers, as
// scan sources grouped by disk number. Disks are those the platform numbers (SALVORA_DISK_MAP
// when set); partitions come from sysfs and from libblkid's reading of the partition table (also
// those the kernel made no device node for), file systems and labels from libblkid, mounts from
// mountinfo and sizes of mounted volumes from statvfs. Discovery only reads.
class DiskEnumerator {
 public:
  // Without a numbering, the machine's tree uses EntryNumbering::Shared() and any other tree a
  // numbering of this enumerator's own.
  explicit DiskEnumerator(DiscoveryRoots roots = {}, EntryNumbering* numbering = nullptr);

  // Rebuilds the map. 1 on success; 0 when there is no block-device tree to read (map empty).
  int Refresh();
  // The next entry (disks ascending, then by start); false at the end.
  bool NextEntry(VolumeEntry& entry);
  // Clears list and appends every entry in order; returns 1.
  int ListAll(std::vector<VolumeEntry>& list);
  // Refreshes, then appends to removed every old entry whose disk number and start sector are no
  // longer listed.
  void FindRemoved(const std::vector<VolumeEntry>& old, std::vector<VolumeEntry>& removed);
  // Removable flag of the kernel, or a USB / SD (mmc) bus.
  bool IsRemovableDisk(int diskNumber);

  static int QueryFileSize(const std::string& path, uint64_t& bytes);
  // Free bytes of the file system holding path (available to this user).
  static int QueryFreeBytes(const std::string& path, uint64_t& bytes);
  int QueryDiskLength(int diskNumber, uint64_t& bytes);
  // File-system name of the volume holding path ("FAT32", "FAT", "NTFS", ...).
  int QueryFileSystemName(const std::string& path, std::string& name);
  // Reads count bytes from fd at its position in pieces of at most 64 KiB. 30 when a read fails
  // or returns nothing; bytesRead is set either way.
  static int ReadFully(int fd, void* buffer, size_t count, size_t& bytesRead);

  // The device path of a disk number of the last refresh ("" when unknown).
  std::string DiskPath(int diskNumber);
  const std::map<uint32_t, std::vector<VolumeEntry>>& Map() const { return map_; }
  // Disks of the last refresh that could not be opened, with the reason (a platform error).
  const std::vector<std::pair<std::string, int>>& Unreadable() const { return unreadable_; }
  // Sector size of the last disk examined.
  uint32_t BytesPerSector() const { return bytesPerSector_; }

 private:
  struct DiskFacts;
  std::vector<std::pair<int, std::string>> Disks() const;
  int ExamineDisk(int number, const std::string& path, DiskFacts& facts);
  void AddVolumes(const DiskFacts& facts, std::vector<VolumeEntry>& list);
  void AddGaps(const DiskFacts& facts, std::vector<VolumeEntry>& list);
  static void SortByStart(std::vector<VolumeEntry>& list);
  void Number();

  DiscoveryRoots roots_;
  EntryNumbering ownNumbering_;
  EntryNumbering* numbering_;
  uint32_t bytesPerSector_ = 512;
  std::map<uint32_t, std::vector<VolumeEntry>> map_;
  std::map<int, std::string> diskPaths_;
  std::vector<std::pair<std::string, int>> unreadable_;
  // Cursor of NextEntry.
  std::map<uint32_t, std::vector<VolumeEntry>>::const_iterator cursorDisk_;
  size_t cursorIndex_ = 0;
};

}  // namespace salvora
