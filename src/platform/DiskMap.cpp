#include "platform/DiskMap.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "platform/PlatformError.h"

namespace salvora::platform {
namespace fs = std::filesystem;

namespace {

// Parses "0=/a.img,1=/dev/loop3"; malformed items are ignored.
std::map<int, std::string> ParseDiskMap(const char* text) {
  std::map<int, std::string> map;
  std::string all(text);
  size_t pos = 0;
  while (pos <= all.size()) {
    size_t comma = all.find(',', pos);
    std::string item = all.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
    size_t eq = item.find('=');
    if (eq != std::string::npos && eq > 0) {
      char* end = nullptr;
      long n = std::strtol(item.c_str(), &end, 10);
      if (end == item.c_str() + eq && n >= 0 && n < 100000) map[int(n)] = item.substr(eq + 1);
    }
    if (comma == std::string::npos) break;
    pos = comma + 1;
  }
  return map;
}

// Disk families whose drive letters count like numbers: sdz comes before sdaa.
bool LetterRunLess(const std::string& a, const std::string& b) {
  for (const char* family : {"xvd", "sd", "hd", "vd"}) {
    std::string f(family);
    if (a.rfind(f, 0) == 0 && b.rfind(f, 0) == 0) {
      if (a.size() != b.size()) return a.size() < b.size();
      break;
    }
  }
  return a < b;
}

}  // namespace

bool NaturalLess(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  while (i < a.size() && j < b.size()) {
    bool da = isDigit(a[i]), db = isDigit(b[j]);
    size_t ei = i, ej = j;
    while (ei < a.size() && isDigit(a[ei]) == da) ++ei;
    while (ej < b.size() && isDigit(b[ej]) == db) ++ej;
    std::string ta = a.substr(i, ei - i), tb = b.substr(j, ej - j);
    if (da && db) {
      unsigned long long va = std::strtoull(ta.c_str(), nullptr, 10);
      unsigned long long vb = std::strtoull(tb.c_str(), nullptr, 10);
      if (va != vb) return va < vb;
    } else if (da != db) {
      return da;
    } else if (ta != tb) {
      return LetterRunLess(ta, tb);
    }
    i = ei;
    j = ej;
  }
  return a.size() - i < b.size() - j;
}

std::vector<std::pair<int, std::string>> ListDisks() {
  std::vector<std::pair<int, std::string>> disks;
  if (const char* map = std::getenv("SALVORA_DISK_MAP"); map && *map) {
    for (auto& [n, path] : ParseDiskMap(map)) disks.emplace_back(n, path);
    return disks;
  }
  int n = 0;
  for (auto& path : ListWholeDisks()) disks.emplace_back(n++, path);
  return disks;
}

int DiskDevicePath(int number, std::string& path) {
  for (auto& [n, p] : ListDisks()) {
    if (n == number) {
      path = p;
      return 0;
    }
  }
  return FromErrno(ENOENT);
}

}  // namespace salvora::platform
