#pragma once

#include <cstdint>
#include <string>

// What the system says about a path or an open file. The calls keep the shape of stat: 0, or -1
// with errno set.
namespace salvora::platform {

struct FileStatus {
  enum class Kind { Other, Regular, Folder, BlockDevice, CharDevice, Fifo, Socket, Link };
  Kind kind = Kind::Other;
  uint64_t size = 0;
  uint64_t device = 0;      // the file system holding it
  uint64_t identity = 0;    // the file within that file system (inode, file index)
  uint64_t deviceNumber = 0;  // a device node's own device
  uint64_t links = 0;
  int64_t writeSeconds = 0;  // last write, Unix seconds and nanoseconds
  uint32_t writeNanoseconds = 0;

  bool IsRegular() const { return kind == Kind::Regular; }
  bool IsFolder() const { return kind == Kind::Folder; }
  bool IsBlockDevice() const { return kind == Kind::BlockDevice; }
  // The same file, or the same device reached through two nodes.
  bool SameObjectAs(const FileStatus& other) const {
    if (IsBlockDevice() || other.IsBlockDevice())
      return IsBlockDevice() && other.IsBlockDevice() && deviceNumber == other.deviceNumber;
    return device == other.device && identity == other.identity;
  }
};

// Follows links.
int StatPath(const std::string& path, FileStatus& status);
// The link itself, not what it points to.
int StatLink(const std::string& path, FileStatus& status);
int StatFile(int fd, FileStatus& status);

}  // namespace salvora::platform
