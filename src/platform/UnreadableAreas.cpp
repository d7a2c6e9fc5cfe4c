#include "platform/UnreadableAreas.h"

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

ByteRanges UnreadableAreasOf(const std::string& path) {
  std::lock_guard hold(gMutex);
  if (gAreas.empty()) return {};
  auto it = gAreas.find(ResolvedPath(path));
  return it == gAreas.end() ? ByteRanges{} : it->second;
}

}  // namespace salvora::platform
