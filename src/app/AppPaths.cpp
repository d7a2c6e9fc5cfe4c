#include "app/AppPaths.h"

#include <unistd.h>

#include <climits>

#include "platform/AppDataDir.h"
#include "scan/ScanLogCatalogue.h"

namespace salvora::app {

namespace {

std::string ComputeModuleFolder() {
  char buffer[PATH_MAX + 1];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, PATH_MAX);
  std::string path = n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string("./");
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

}  // namespace

const std::string& ModuleFolder() {
  static const std::string folder = ComputeModuleFolder();
  return folder;
}

std::string AppDataFolder() { return platform::AppDataDir() + "/SalvoraData"; }

std::string ScanLogFolder() { return salvora::ScanLogFolder(); }

}  // namespace salvora::app
