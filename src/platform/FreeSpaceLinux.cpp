#include "platform/FreeSpace.h"

#include <sys/statvfs.h>

#include <filesystem>

#include "platform/PlatformError.h"

namespace salvora::platform {
namespace fs = std::filesystem;

std::string ExistingAncestor(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::absolute(path.empty() ? fs::path(".") : fs::path(path), ec);
  while (!p.empty() && !fs::exists(p, ec) && p != p.root_path()) p = p.parent_path();
  return p.string();
}

int QuerySpace(const std::string& path, SpaceInfo& space) {
  space = SpaceInfo{};
  struct statvfs st {};
  if (::statvfs(ExistingAncestor(path).c_str(), &st) != 0) return LastError();
  uint64_t unit = st.f_frsize ? st.f_frsize : st.f_bsize;
  space.totalBytes = uint64_t(st.f_blocks) * unit;
  space.freeBytes = uint64_t(st.f_bavail) * unit;
  return 0;
}

}  // namespace salvora::platform
