#include <fstream>

#include "platform/SysfsBlock.h"

// One for both systems: it needs only the standard library.
namespace salvora::platform {

std::string ReadFirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

}  // namespace salvora::platform
