#include "platform/FreeSpace.h"

#include <windows.h>

#include <filesystem>

#include "platform/PlatformError.h"
#include "platform/WindowsPath.h"

namespace salvora::platform {
namespace fs = std::filesystem;

std::string ExistingAncestor(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::absolute(path.empty() ? fs::path(".") : fs::path(WidePath(path)), ec);
  while (!p.empty() && !fs::exists(p, ec) && p != p.root_path()) p = p.parent_path();
  return Utf8Path(p.wstring());
}

int QuerySpace(const std::string& path, SpaceInfo& space) {
  space = SpaceInfo{};
  ULARGE_INTEGER available{}, total{};
  if (!GetDiskFreeSpaceExW(WidePath(ExistingAncestor(path)).c_str(), &available, &total, nullptr)) {
    FailWithWindowsError(GetLastError());
    return LastError();
  }
  space.totalBytes = total.QuadPart;
  space.freeBytes = available.QuadPart;
  return 0;
}

}  // namespace salvora::platform
