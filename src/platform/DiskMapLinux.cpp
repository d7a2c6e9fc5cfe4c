#include "platform/DiskMap.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace salvora::platform {
namespace fs = std::filesystem;

namespace {

std::string ReadLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

bool Excluded(const std::string& name, const fs::path& dir) {
  if (name.rfind("ram", 0) == 0 || name.rfind("zram", 0) == 0) return true;
  if (ReadLine(dir / "size") == "0" || ReadLine(dir / "size").empty()) return true;
  if (name.rfind("loop", 0) == 0 && ReadLine(dir / "loop" / "backing_file").empty()) return true;
  return false;
}

}  // namespace

std::string DeviceFolder() { return "/dev"; }

std::vector<std::string> ListWholeDisks(const std::string& sysBlockRoot, const std::string& devRoot) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(sysBlockRoot, ec)) {
    std::string name = entry.path().filename().string();
    if (!Excluded(name, entry.path())) names.push_back(name);
  }
  std::sort(names.begin(), names.end(), NaturalLess);
  std::vector<std::string> paths;
  for (const auto& name : names) paths.push_back(devRoot + "/" + name);
  return paths;
}

}  // namespace salvora::platform
