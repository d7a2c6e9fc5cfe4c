#include "app/AppPaths.h"

#include <unistd.h>

#include <climits>
#include <filesystem>

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

// The first of the program's own folder and the installed one that holds marker.
std::string FolderHolding(const std::string& installed, const std::string& marker) {
  const std::string& module = ModuleFolder();
  if (std::filesystem::exists(module + marker)) return module;
  const std::string candidate = module + installed;
  std::error_code ec;
  if (std::filesystem::exists(candidate + marker, ec)) return candidate;
  return module;
}

}  // namespace

const std::string& ModuleFolder() {
  static const std::string folder = ComputeModuleFolder();
  return folder;
}

const std::string& ResourceFolder() {
  static const std::string folder = FolderHolding("../share/salvora/", "config.ini");
  return folder;
}

const std::string& PlayerFolder() {
  static const std::string folder = FolderHolding("../lib/salvora/", "Player");
  return folder;
}

std::string AppDataFolder() { return platform::AppDataDir() + "/SalvoraData"; }

std::string ScanLogFolder() { return salvora::ScanLogFolder(); }

}  // namespace salvora::app
