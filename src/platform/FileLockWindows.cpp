#include "platform/FileLock.h"

#include <io.h>
#include <windows.h>

#include "platform/ErrorCodes.h"
#include "platform/FileDescriptor.h"
#include "platform/PlatformError.h"
#include "platform/StopRequest.h"
#include "platform/WindowsPath.h"

namespace salvora::platform {

int FileLock::Acquire(const std::string& path) {
  Release();
  const int fd = OpenFile(path, O_RDWR | O_CREAT, 0644);
  if (fd < 0) return LastError();
  const HANDLE handle = HANDLE(_get_osfhandle(fd));
  // Waits in slices, so that a request to stop is seen while another program holds the lock.
  for (;;) {
    OVERLAPPED whole{};
    if (LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole)) break;
    const DWORD error = GetLastError();
    if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) {
      CloseFile(fd);
      FailWithWindowsError(error);
      return LastError();
    }
    if (StopRequested()) {
      CloseFile(fd);
      return kScanCancelled;
    }
    Sleep(100);
  }
  fd_ = fd;
  return 0;
}

void FileLock::Release() {
  if (fd_ < 0) return;
  CloseFile(fd_);  // closing the handle drops the lock
  fd_ = -1;
}

}  // namespace salvora::platform
