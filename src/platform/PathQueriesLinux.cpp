#include "platform/PathQueries.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>

namespace salvora::platform {

bool PathExists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

bool CanWriteIn(const std::string& folder) { return ::access(folder.c_str(), W_OK | X_OK) == 0; }

bool RealPath(const std::string& path, std::string& real) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (!resolved) return false;
  real = resolved;
  std::free(resolved);
  return true;
}

size_t NameLimitAt(const std::string& folder) {
  const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  return limit > 0 ? size_t(limit) : 0;
}

int FolderNames(const std::string& folder, std::vector<std::string>& names) {
  names.clear();
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return -1;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  return 0;
}

std::vector<std::string> ScratchFolders() {
  std::vector<std::string> folders = {"/dev/shm"};
  if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp) folders.emplace_back(tmp);
  folders.emplace_back("/tmp");
  return folders;
}

}  // namespace salvora::platform
