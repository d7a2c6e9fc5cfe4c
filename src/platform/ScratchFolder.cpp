#include "platform/ScratchFolder.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace salvora::platform {

std::string MakeScratchFolder(const std::function<bool(const std::string& base)>& refused) {
  std::vector<std::string> bases = {"/dev/shm"};
  if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp) bases.emplace_back(tmp);
  bases.emplace_back("/tmp");
  for (const std::string& base : bases) {
    if (::access(base.c_str(), W_OK | X_OK) != 0 || (refused && refused(base))) continue;
    std::string folder = base + "/salvora-verify.XXXXXX";
    if (::mkdtemp(folder.data())) return folder;
  }
  return {};
}

void RemoveScratchFolder(const std::string& folder) {
  if (folder.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

}  // namespace salvora::platform
