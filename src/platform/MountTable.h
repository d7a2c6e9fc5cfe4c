#pragma once

#include <string>
#include <vector>

// The mounted file systems as /proc/self/mountinfo lists them.
namespace salvora::platform {

struct MountEntry {
  unsigned major = 0;
  unsigned minor = 0;
  std::string root;        // the part of the file system mounted here ("/" for the whole)
  std::string mountPoint;
  std::string fsType;      // "vfat", "ext4", "fuseblk", ...
  std::string source;      // "/dev/sdb1", or a pseudo name
};

// Parses mountinfo text; malformed lines are skipped. Octal escapes (\040) are decoded.
std::vector<MountEntry> ParseMountInfo(const std::string& text);
// Reads and parses a mountinfo file; empty when it cannot be read.
std::vector<MountEntry> ReadMountTable(const std::string& path = "/proc/self/mountinfo");

// The mount whose mount point holds path: the longest mount point that is a prefix of the
// canonical path (the later one of equal length, since it hides the earlier). nullptr for none.
const MountEntry* FindMountFor(const std::vector<MountEntry>& mounts, const std::string& canonicalPath);

}  // namespace salvora::platform
