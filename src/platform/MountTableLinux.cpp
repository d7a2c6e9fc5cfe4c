#include "platform/MountTable.h"

#include <fstream>
#include <sstream>

namespace salvora::platform {

std::vector<MountEntry> ReadMountTable(const std::string& path) {
  std::ifstream in(path);
  if (!in) return {};
  std::stringstream all;
  all << in.rdbuf();
  return ParseMountInfo(all.str());
}

}  // namespace salvora::platform
