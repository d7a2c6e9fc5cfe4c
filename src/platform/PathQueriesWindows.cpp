#include "platform/PathQueries.h"

#include <windows.h>

#include <cerrno>

#include "platform/WindowsPath.h"

namespace salvora::platform {

bool PathExists(const std::string& path) {
  return GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CanWriteIn(const std::string& folder) {
  const DWORD attributes = GetFileAttributesW(WidePath(folder).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return FailWithWindowsError(GetLastError()) == 0;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    errno = ENOTDIR;
    return false;
  }
  return true;
}

bool RealPath(const std::string& path, std::string& real) {
  const HANDLE handle = CreateFileW(WidePath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  std::wstring final(32768, L'\0');
  const DWORD got = GetFinalPathNameByHandleW(handle, final.data(), DWORD(final.size()), FILE_NAME_NORMALIZED);
  CloseHandle(handle);
  if (got == 0 || got >= final.size()) return false;
  final.resize(got);
  real = Utf8Path(final);
  return true;
}

size_t NameLimitAt(const std::string& folder) {
  std::wstring root(MAX_PATH + 1, L'\0');
  if (!GetVolumePathNameW(WidePath(folder).c_str(), root.data(), DWORD(root.size()))) return 0;
  DWORD maxComponent = 0;
  if (!GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, &maxComponent, nullptr, nullptr, 0)) return 0;
  return size_t(maxComponent);  // UTF-16 units, as FileNameRules counts them
}

int FolderNames(const std::string& folder, std::vector<std::string>& names) {
  names.clear();
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(WidePath(folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? 0 : FailWithWindowsError(error);
  }
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(Utf8Path(name));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return 0;
}

std::vector<std::string> ScratchFolders() {
  wchar_t temp[MAX_PATH + 2];
  const DWORD got = GetTempPathW(MAX_PATH + 2, temp);
  if (got == 0 || got > MAX_PATH + 1) return {};
  std::wstring folder(temp, got);
  while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  return {Utf8Path(folder)};
}

}  // namespace salvora::platform
