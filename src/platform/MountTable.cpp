#include "platform/MountTable.h"

#include <fstream>
#include <sstream>

namespace salvora::platform {
namespace {

std::string Unescape(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' &&
        field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7') {
      out += char((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

bool ParseDevice(const std::string& field, unsigned& major, unsigned& minor) {
  size_t colon = field.find(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 >= field.size()) return false;
  try {
    major = unsigned(std::stoul(field.substr(0, colon)));
    minor = unsigned(std::stoul(field.substr(colon + 1)));
  } catch (...) {
    return false;
  }
  return true;
}

bool IsPrefixDir(const std::string& dir, const std::string& path) {
  if (dir == "/") return !path.empty() && path[0] == '/';
  return path.compare(0, dir.size(), dir) == 0 && (path.size() == dir.size() || path[dir.size()] == '/');
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(const std::string& text) {
  std::vector<MountEntry> mounts;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream in(line);
    std::vector<std::string> fields;
    for (std::string f; in >> f;) fields.push_back(f);
    // id parent major:minor root mountpoint options [optional...] - fstype source superoptions
    size_t dash = 0;
    for (size_t i = 6; i < fields.size(); ++i)
      if (fields[i] == "-") {
        dash = i;
        break;
      }
    if (dash == 0 || dash + 1 >= fields.size()) continue;
    MountEntry m;
    if (!ParseDevice(fields[2], m.major, m.minor)) continue;
    m.root = Unescape(fields[3]);
    m.mountPoint = Unescape(fields[4]);
    m.fsType = fields[dash + 1];
    if (dash + 2 < fields.size()) m.source = Unescape(fields[dash + 2]);
    mounts.push_back(std::move(m));
  }
  return mounts;
}

const MountEntry* FindMountFor(const std::vector<MountEntry>& mounts, const std::string& canonicalPath) {
  const MountEntry* best = nullptr;
  for (const auto& m : mounts)
    if (IsPrefixDir(m.mountPoint, canonicalPath) && (!best || m.mountPoint.size() >= best->mountPoint.size()))
      best = &m;
  return best;
}

}  // namespace salvora::platform
