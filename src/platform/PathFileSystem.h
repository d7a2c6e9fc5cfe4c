#pragma once

#include <string>

namespace salvora::platform {

// The name of the file system that holds path (or would hold it, for a path not made yet), as the
// rest of the system names file systems: "FAT32", "FAT", "NTFS", "exFAT", "ext4", ... Returns 0 or
// the platform error when no existing ancestor of path can be examined.
int PathFileSystemName(const std::string& path, std::string& name,
                       const std::string& mountInfo = "/proc/self/mountinfo");

}  // namespace salvora::platform
