#include "platform/FileDescriptor.h"

#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <random>

#include "platform/WindowsPath.h"

namespace salvora::platform {
namespace {

// A random six-character tail for a "XXXXXX" pattern; false when the pattern has none.
bool FillPattern(std::string& pattern) {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  if (pattern.size() < 6 || pattern.compare(pattern.size() - 6, 6, "XXXXXX") != 0) return false;
  static thread_local std::mt19937 random{std::random_device{}()};
  for (size_t i = pattern.size() - 6; i < pattern.size(); ++i) pattern[i] = kChars[random() % 36];
  return true;
}

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = DWORD(offset);
  at.OffsetHigh = DWORD(offset >> 32);
  return at;
}

}  // namespace

// Through CreateFileW rather than the C runtime: shared for deleting as well, so that a file one
// part of the program holds open can still be renamed or removed by another, as on Linux.
int OpenFile(const std::string& path, int flags, int mode) {
  const int access = flags & (O_RDONLY | O_WRONLY | O_RDWR);
  DWORD desired = access == O_WRONLY ? GENERIC_WRITE : access == O_RDWR ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
  DWORD disposition = OPEN_EXISTING;
  if ((flags & O_CREAT) && (flags & O_EXCL)) disposition = CREATE_NEW;
  else if ((flags & O_CREAT) && (flags & O_TRUNC)) disposition = CREATE_ALWAYS;
  else if (flags & O_CREAT) disposition = OPEN_ALWAYS;
  else if (flags & O_TRUNC) disposition = TRUNCATE_EXISTING;
  const DWORD attributes = (mode & 0200) ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
  const HANDLE handle =
      CreateFileW(WidePath(path).c_str(), desired, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  disposition, attributes | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return FailWithWindowsError(GetLastError());
  const int fd = _open_osfhandle(intptr_t(handle), (flags & O_APPEND ? _O_APPEND : 0) | (access == O_RDONLY ? _O_RDONLY : 0));
  if (fd < 0) {
    CloseHandle(handle);
    errno = EMFILE;
  }
  return fd;
}

int MakeTempFile(std::string& pattern) {
  const std::string original = pattern;
  for (int attempt = 0; attempt < 100; ++attempt) {
    pattern = original;
    if (!FillPattern(pattern)) {
      errno = EINVAL;
      return -1;
    }
    const int fd = OpenFile(pattern, O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

int CloseFile(int fd) { return _close(fd); }

long long ReadAtOffset(int fd, void* buffer, size_t length, uint64_t offset) {
  const HANDLE handle = HANDLE(_get_osfhandle(fd));
  if (handle == INVALID_HANDLE_VALUE) return -1;
  OVERLAPPED at = At(offset);
  DWORD got = 0;
  if (ReadFile(handle, buffer, DWORD(std::min<size_t>(length, 1u << 30)), &got, &at)) return got;
  const DWORD error = GetLastError();
  return error == ERROR_HANDLE_EOF ? 0 : FailWithWindowsError(error);
}

long long WriteAtOffset(int fd, const void* data, size_t length, uint64_t offset) {
  const HANDLE handle = HANDLE(_get_osfhandle(fd));
  if (handle == INVALID_HANDLE_VALUE) return -1;
  OVERLAPPED at = At(offset);
  DWORD done = 0;
  if (WriteFile(handle, data, DWORD(std::min<size_t>(length, 1u << 30)), &done, &at)) return done;
  return FailWithWindowsError(GetLastError());
}

long long ReadSome(int fd, void* buffer, size_t length) {
  return _read(fd, buffer, unsigned(std::min<size_t>(length, 1u << 30)));
}

long long WriteSome(int fd, const void* data, size_t length) {
  return _write(fd, data, unsigned(std::min<size_t>(length, 1u << 30)));
}

// A folder's handle cannot be flushed; its names are on the medium once the files are.
int SyncFile(int fd) {
  const HANDLE handle = HANDLE(_get_osfhandle(fd));
  if (handle == INVALID_HANDLE_VALUE) return -1;
  if (FlushFileBuffers(handle)) return 0;
  const DWORD error = GetLastError();
  if (error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_HANDLE || error == ERROR_INVALID_FUNCTION) {
    errno = EINVAL;
    return -1;
  }
  return FailWithWindowsError(error);
}

int SyncFileData(int fd) { return SyncFile(fd); }

int TruncateFile(int fd, uint64_t length) {
  const errno_t rc = _chsize_s(fd, static_cast<long long>(length));
  if (rc == 0) return 0;
  errno = rc;
  return -1;
}

int TruncatePath(const std::string& path, uint64_t length) {
  const int fd = OpenFile(path, O_WRONLY);
  if (fd < 0) return -1;
  const int rc = TruncateFile(fd, length);
  const int saved = errno;
  _close(fd);
  errno = saved;
  return rc;
}

// Windows files have no Unix permission bits; the folder's access rules apply.
int SetFileMode(int, int) { return 0; }

}  // namespace salvora::platform
