#include "platform/ScratchFolder.h"

#include <filesystem>
#include <system_error>

#include "platform/PathChanges.h"
#include "platform/PathQueries.h"

namespace salvora::platform {

std::string MakeScratchFolder(const std::function<bool(const std::string& base)>& refused) {
  for (const std::string& base : ScratchFolders()) {
    if (!CanWriteIn(base) || (refused && refused(base))) continue;
    std::string folder = base + "/salvora-verify.XXXXXX";
    if (MakeTempFolder(folder) == 0) return folder;
  }
  return {};
}

void RemoveScratchFolder(const std::string& folder) {
  if (folder.empty()) return;
  // Spelt as UTF-8 so that a user folder with any name is found on every system.
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(reinterpret_cast<const char8_t*>(folder.c_str())), ignored);
}

}  // namespace salvora::platform
