#pragma once

#include <cstdint>
#include <string>

// Space of the file system that holds a path (statvfs). A path that does not exist yet is
// measured at its nearest existing parent, so a destination file can be checked before it is made.
namespace salvora::platform {

struct SpaceInfo {
  uint64_t totalBytes = 0;
  uint64_t freeBytes = 0;  // available to this user
};

int QuerySpace(const std::string& path, SpaceInfo& space);

// The nearest existing ancestor of path (path itself when it exists), made absolute.
std::string ExistingAncestor(const std::string& path);

}  // namespace salvora::platform
