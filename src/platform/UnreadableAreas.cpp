#include "platform/UnreadableAreas.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "platform/FileIo.h"

namespace salvora::platform {
namespace {

std::mutex gMutex;
std::map<std::string, ByteRanges> gAreas;

}  // namespace

void SetUnreadableAreas(const std::string& path, ByteRanges ranges) {
  const std::string key = ResolvedPath(path);
  std::lock_guard hold(gMutex);
  if (ranges.empty())
    gAreas.erase(key);
  else
    gAreas[key] = std::move(ranges);
}

void AddUnreadableAreas(const std::string& path, const ByteRanges& ranges) {
  if (ranges.empty()) return;
  const std::string key = ResolvedPath(path);
  std::lock_guard hold(gMutex);
  ByteRanges& known = gAreas[key];
  for (const auto& range : ranges)
    if (std::find(known.begin(), known.end(), range) == known.end()) known.push_back(range);
}

ByteRanges UnreadableAreasOf(const std::string& path) {
  std::lock_guard hold(gMutex);
  if (gAreas.empty()) return {};
  auto it = gAreas.find(ResolvedPath(path));
  return it == gAreas.end() ? ByteRanges{} : it->second;
}

}  // namespace salvora::platform
