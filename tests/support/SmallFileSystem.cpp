#include "support/SmallFileSystem.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

namespace salvora::test {

SmallFileSystem::SmallFileSystem(uint64_t bytes) {
  char pattern[] = "/tmp/salvora-small-XXXXXX";
  if (const char* made = ::mkdtemp(pattern)) path_ = made;
  if (path_.empty()) return;
  const std::string options = "size=" + std::to_string(bytes);
  mounted_ = ::mount("tmpfs", path_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
}

SmallFileSystem::~SmallFileSystem() {
  if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
  if (!path_.empty()) ::rmdir(path_.c_str());
}

uint64_t SmallFileSystem::FreeBytes() const {
  struct statvfs st {};
  if (::statvfs(path_.c_str(), &st) != 0) return 0;
  return uint64_t(st.f_bavail) * st.f_frsize;
}

void SmallFileSystem::FillLeaving(uint64_t bytes) {
  const int fd = ::open((path_ + "/.filler").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  std::vector<char> block(4096, 'x');
  while (FreeBytes() > bytes) {
    const uint64_t over = FreeBytes() - bytes;
    if (::write(fd, block.data(), size_t(std::min<uint64_t>(over, block.size()))) <= 0) break;
  }
  ::close(fd);
}

}  // namespace salvora::test
