#include "platform/AbandonedFiles.h"

#include <io.h>
#include <windows.h>

#include "platform/WindowsPath.h"

namespace salvora::platform {
namespace {

// Windows locks are mandatory: the mark is one byte far past any end a file can reach, so that
// it never blocks reading or writing the data. Windows drops it when the holding process ends.
OVERLAPPED MarkByte() {
  OVERLAPPED at{};
  at.Offset = 0xFFFFFFFEu;
  at.OffsetHigh = 0x7FFFFFFFu;
  return at;
}

bool Lock(HANDLE handle, DWORD flags) {
  OVERLAPPED at = MarkByte();
  return LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | flags, 0, 1, 0, &at) != 0;
}

}  // namespace

bool MarkInUse(int fd) {
  const HANDLE handle = HANDLE(_get_osfhandle(fd));
  if (handle == INVALID_HANDLE_VALUE) return false;
  // Only a sweep can hold the mark of a file just created, and only for a moment: wait for it.
  // A file system without locks cannot be swept either, so the file is as good as marked.
  if (!Lock(handle, 0)) return true;
  // A sweep that won the lock first has set the file to be deleted before letting go of it.
  FILE_STANDARD_INFO info{};
  return GetFileInformationByHandleEx(handle, FileStandardInfo, &info, sizeof info) && !info.DeletePending &&
         info.NumberOfLinks > 0;
}

bool RemoveIfAbandoned(const std::string& path) {
  // The link itself, never what it points to; deleting through this handle removes the very file
  // locked, whatever has been renamed meanwhile.
  const HANDLE handle = CreateFileW(WidePath(path).c_str(), GENERIC_READ | DELETE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  bool removed = false;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(handle, &info) &&
      !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
      GetFileType(handle) == FILE_TYPE_DISK && Lock(handle, LOCKFILE_FAIL_IMMEDIATELY)) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    removed = SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != 0;
  }
  CloseHandle(handle);
  return removed;
}

}  // namespace salvora::platform
