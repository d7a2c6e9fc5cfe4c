#include "platform/FileDescriptor.h"

#include <io.h>
#include <share.h>
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

int OpenFile(const std::string& path, int flags, int mode) {
  const int permission = (mode & 0200) ? (_S_IREAD | _S_IWRITE) : _S_IREAD;
  int fd = -1;
  // Shared for reading and writing, so that readers elsewhere (a viewer, the other program) work.
  const errno_t rc = _wsopen_s(&fd, WidePath(path).c_str(), flags | _O_BINARY | _O_NOINHERIT, _SH_DENYNO, permission);
  if (rc != 0) {
    errno = rc;
    return -1;
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

int SyncFileData(int fd) { return _commit(fd); }

int SyncFile(int fd) { return _commit(fd); }

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
