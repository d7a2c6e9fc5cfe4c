#include "platform/AbandonedFiles.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace salvora::platform {

bool MarkInUse(int fd) {
  // Only a sweep can hold the lock of a file just created, and only for a moment: wait for it.
  // A file system without locks cannot be swept either, so the file is as good as marked.
  int rc;
  while ((rc = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
  }
  if (rc != 0) return true;
  // A sweep that won the lock first has unlinked the file before letting go of it.
  struct stat st {};
  return ::fstat(fd, &st) == 0 && st.st_nlink > 0;
}

bool RemoveIfAbandoned(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  bool removed = false;
  struct stat held {}, named {};
  // Unlinked while the lock is held, and only when the name still leads to the file locked.
  if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
      ::lstat(path.c_str(), &named) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino)
    removed = ::unlink(path.c_str()) == 0;
  ::close(fd);
  return removed;
}

}  // namespace salvora::platform
