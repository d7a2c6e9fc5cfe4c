#include "output/UniquePath.h"

#include <sys/stat.h>

namespace salvora {
namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

}  // namespace

std::string MakeUniquePath(const std::string& path) {
  if (!Exists(path)) return path;
  const size_t slash = path.find_last_of("/\\");
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = path.rfind('.');
  // A leading dot starts a hidden name, not an extension.
  if (dot == std::string::npos || dot <= nameStart) dot = path.size();
  const std::string stem = path.substr(0, dot), extension = path.substr(dot);
  for (int n = 1; n < 1000000; ++n) {
    std::string candidate = stem + "(" + std::to_string(n) + ")" + extension;
    if (!Exists(candidate)) return candidate;
  }
  return "";
}

}  // namespace salvora
