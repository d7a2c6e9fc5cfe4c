#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/ErrorCodes.h"
#include "platform/PlatformError.h"
#include "platform/StopRequest.h"

namespace salvora::platform {

int FileLock::Acquire(const std::string& path) {
  Release();
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return LastError();
  while (::flock(fd, LOCK_EX) != 0) {
    const int error = errno;
    if (error == EINTR && !StopRequested()) continue;
    ::close(fd);
    return error == EINTR ? kScanCancelled : FromErrno(error);
  }
  fd_ = fd;
  return 0;
}

void FileLock::Release() {
  if (fd_ < 0) return;
  ::close(fd_);  // closing the only descriptor drops the lock
  fd_ = -1;
}

}  // namespace salvora::platform
