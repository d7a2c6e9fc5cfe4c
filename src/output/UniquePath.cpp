#include "output/UniquePath.h"

#include <algorithm>

#include "output/NameFitting.h"
#include "platform/FileStatus.h"

namespace salvora {
namespace {

bool Exists(const std::string& path) {
  platform::FileStatus st;
  return platform::StatLink(path, st) == 0;
}

}  // namespace

std::string MakeUniquePath(const std::string& folder, std::string_view name, bool* shortened,
                           std::string_view tag) {
  const size_t limit = std::min(NameLimitOf(folder), PathRoomIn(folder));
  const std::string prefix = folder.empty() ? "" : folder == "/" ? "/" : folder + "/";
  for (int n = 0; n < 1000000; ++n) {
    const std::string suffix = std::string(tag) + (n == 0 ? "" : "(" + std::to_string(n) + ")");
    const std::string fitted = FitName(name, suffix, limit);
    if (fitted.empty()) return "";
    const std::string candidate = prefix + fitted;
    if (!Exists(candidate)) {
      if (shortened) *shortened = fitted.size() < name.size() + suffix.size();
      return candidate;
    }
  }
  return "";
}

std::string MakeUniquePath(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return MakeUniquePath("", path);
  return MakeUniquePath(slash == 0 ? "/" : path.substr(0, slash), std::string_view(path).substr(slash + 1));
}

}  // namespace salvora
