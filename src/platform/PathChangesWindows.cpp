#include "platform/PathChanges.h"

#include <windows.h>

#include <cerrno>
#include <random>

#include "platform/WindowsPath.h"

namespace salvora::platform {
namespace {

int Result(BOOL ok) { return ok ? 0 : FailWithWindowsError(GetLastError()); }

FILETIME FileTimeOf(uint64_t ticks) {
  FILETIME time;
  time.dwLowDateTime = DWORD(ticks);
  time.dwHighDateTime = DWORD(ticks >> 32);
  return time;
}

}  // namespace

// Converted on the stack: a signal handler may call it.
int RemoveFile(const char* path) {
  wchar_t wide[1024];
  const int units = MultiByteToWideChar(CP_UTF8, 0, path, -1, wide, 1024);
  if (units == 0) return FailWithWindowsError(GetLastError());
  for (wchar_t* c = wide; *c; ++c)
    if (*c == L'/') *c = L'\\';
  return Result(DeleteFileW(wide));
}

int MakeFolder(const std::string& path, int) { return Result(CreateDirectoryW(WidePath(path).c_str(), nullptr)); }

int MakeTempFolder(std::string& pattern) {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  if (pattern.size() < 6 || pattern.compare(pattern.size() - 6, 6, "XXXXXX") != 0) {
    errno = EINVAL;
    return -1;
  }
  static thread_local std::mt19937 random{std::random_device{}()};
  for (int attempt = 0; attempt < 100; ++attempt) {
    for (size_t i = pattern.size() - 6; i < pattern.size(); ++i) pattern[i] = kChars[random() % 36];
    if (MakeFolder(pattern) == 0) return 0;
    if (errno != EEXIST) return -1;
  }
  return -1;
}

int HardLink(const std::string& from, const std::string& to) {
  return Result(CreateHardLinkW(WidePath(to).c_str(), WidePath(from).c_str(), nullptr));
}

// Without MOVEFILE_REPLACE_EXISTING the move fails on an existing name: no fallback needed.
int RenameExclusive(const std::string& from, const std::string& to) {
  return Result(MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), 0));
}

int RenameReplacing(const std::string& from, const std::string& to) {
  return Result(MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), MOVEFILE_REPLACE_EXISTING));
}

int SetFileTimes(const std::string& path, uint64_t accessFileTime, uint64_t writeFileTime) {
  const HANDLE handle =
      CreateFileW(WidePath(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return FailWithWindowsError(GetLastError());
  const FILETIME access = FileTimeOf(accessFileTime), write = FileTimeOf(writeFileTime);
  const BOOL ok = SetFileTime(handle, nullptr, accessFileTime ? &access : nullptr, writeFileTime ? &write : nullptr);
  const DWORD error = GetLastError();
  CloseHandle(handle);
  return ok ? 0 : FailWithWindowsError(error);
}

}  // namespace salvora::platform
