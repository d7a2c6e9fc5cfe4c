#include "platform/PathFileSystem.h"

#include <windows.h>

#include "platform/FreeSpace.h"
#include "platform/PlatformError.h"
#include "platform/WindowsPath.h"

namespace salvora::platform {

int PathFileSystemName(const std::string& path, std::string& name, const std::string&) {
  name.clear();
  wchar_t root[MAX_PATH + 1] = {};
  if (!GetVolumePathNameW(WidePath(ExistingAncestor(path)).c_str(), root, MAX_PATH + 1)) {
    FailWithWindowsError(GetLastError());
    return LastError();
  }
  wchar_t fsName[64] = {};
  if (!GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, nullptr, fsName, 64)) {
    FailWithWindowsError(GetLastError());
    return LastError();
  }
  name = Utf8Path(fsName);
  return 0;
}

}  // namespace salvora::platform
