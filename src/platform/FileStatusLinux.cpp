#include "platform/FileStatus.h"

#include <sys/stat.h>

namespace salvora::platform {
namespace {

FileStatus::Kind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return FileStatus::Kind::Regular;
  if (S_ISDIR(mode)) return FileStatus::Kind::Folder;
  if (S_ISBLK(mode)) return FileStatus::Kind::BlockDevice;
  if (S_ISCHR(mode)) return FileStatus::Kind::CharDevice;
  if (S_ISFIFO(mode)) return FileStatus::Kind::Fifo;
  if (S_ISSOCK(mode)) return FileStatus::Kind::Socket;
  if (S_ISLNK(mode)) return FileStatus::Kind::Link;
  return FileStatus::Kind::Other;
}

int Fill(int rc, const struct stat& st, FileStatus& status) {
  if (rc != 0) return rc;
  status.kind = KindOf(st.st_mode);
  status.size = uint64_t(st.st_size);
  status.device = uint64_t(st.st_dev);
  status.identity = uint64_t(st.st_ino);
  status.deviceNumber = uint64_t(st.st_rdev);
  status.links = uint64_t(st.st_nlink);
  status.writeSeconds = int64_t(st.st_mtim.tv_sec);
  status.writeNanoseconds = uint32_t(st.st_mtim.tv_nsec);
  return 0;
}

}  // namespace

int StatPath(const std::string& path, FileStatus& status) {
  struct stat st {};
  return Fill(::stat(path.c_str(), &st), st, status);
}

int StatLink(const std::string& path, FileStatus& status) {
  struct stat st {};
  return Fill(::lstat(path.c_str(), &st), st, status);
}

int StatFile(int fd, FileStatus& status) {
  struct stat st {};
  return Fill(::fstat(fd, &st), st, status);
}

}  // namespace salvora::platform
