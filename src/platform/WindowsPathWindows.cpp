#include "platform/WindowsPath.h"

#include <windows.h>

#include <cerrno>

#include "platform/TextEncoding.h"

namespace salvora::platform {
namespace {

// Below this the plain form works everywhere (a folder path must leave room for an 8.3 name).
constexpr size_t kPlainLimit = 240;

bool StartsWith(const std::wstring& text, const wchar_t* head) { return text.rfind(head, 0) == 0; }

}  // namespace

std::wstring WidePath(const std::string& utf8Path) {
  const std::u16string units = Utf8ToUtf16(utf8Path);
  std::wstring path(units.begin(), units.end());
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  if (path.size() < kPlainLimit || StartsWith(path, L"\\\\?\\") || StartsWith(path, L"\\\\.\\")) return path;
  // The prefixed form is taken literally: make the path absolute and resolve dot parts first.
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::wstring full(needed, L'\0');
  const DWORD got = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (got == 0 || got >= needed) return path;
  full.resize(got);
  if (StartsWith(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::string Utf8Path(const std::wstring& widePath) {
  std::u16string units(widePath.begin(), widePath.end());
  if (units.rfind(u"\\\\?\\UNC\\", 0) == 0) units = u"\\\\" + units.substr(8);
  else if (units.rfind(u"\\\\?\\", 0) == 0) units = units.substr(4);
  return Utf16ToUtf8(units);
}

int FailWithWindowsError(unsigned long windowsError) {
  switch (windowsError) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
      errno = ENOENT;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      errno = EACCES;
      break;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
      errno = EEXIST;
      break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      errno = ENOSPC;
      break;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      errno = ENOMEM;
      break;
    case ERROR_WRITE_PROTECT:
      errno = EROFS;
      break;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
      errno = ENOSYS;
      break;
    case ERROR_INVALID_PARAMETER:
    case ERROR_INVALID_NAME:
      errno = EINVAL;
      break;
    case ERROR_DIR_NOT_EMPTY:
      errno = ENOTEMPTY;
      break;
    case ERROR_OPERATION_ABORTED:
      errno = EINTR;
      break;
    default:
      errno = EIO;
  }
  return -1;
}

}  // namespace salvora::platform
