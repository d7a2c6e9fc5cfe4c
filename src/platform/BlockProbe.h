#pragma once

#include <cstdint>
#include <string>
#include <vector>

// File-system and partition-table probing through libblkid. Sources are opened read-only.
namespace salvora::platform {

struct FileSystemProbe {
  std::string type;     // blkid's name: "vfat", "ntfs", "exfat", "ext4", ...; "" when none found
  std::string version;  // "FAT32", "FAT16", "FAT12" for vfat; may be empty
  std::string label;    // UTF-8
};

struct PartitionProbe {
  uint32_t number = 0;
  uint64_t start512 = 0;   // libblkid counts in 512-byte units whatever the sector size
  uint64_t size512 = 0;
  uint8_t typeByte = 0;    // the MBR type byte; 0 on tables that have none (GPT)
  bool extended = false;   // an MBR container of logical partitions
};

struct PartitionTableProbe {
  std::string tableType;   // "dos", "gpt", ...; "" when there is no table
  std::vector<PartitionProbe> partitions;
};

// Probes the file system in [offset, offset + length) of path (length 0: to the end). Returns 0
// (also when nothing was recognised: type stays empty) or a platform error when path cannot be
// opened.
int ProbeFileSystem(const std::string& path, uint64_t offset, uint64_t length, FileSystemProbe& result);
// Reads the partition table of a whole disk or image. Returns 0 or a platform error.
int ProbePartitionTable(const std::string& path, PartitionTableProbe& result);

// The name the rest of the system uses for a blkid file-system type: "FAT32", "FAT" (FAT12/16),
// "NTFS", "exFAT"; other types pass unchanged.
std::string FileSystemDisplayName(const std::string& type, const std::string& version);

}  // namespace salvora::platform
