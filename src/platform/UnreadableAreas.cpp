#include "platform/UnreadableAreas.h"

#include <filesystem>
#include <map>
#include <mutex>

namespace salvora::platform {
namespace {

std::mutex gMutex;
std::map<std::string, ByteRanges> gAreas;

std::string Resolved(const std::string& path) {
  std::error_code ec;
  auto resolved = std::filesystem::weakly_canonical(path, ec);
  return ec ? path : resolved.string();
}

}  // namespace

void SetUnreadableAreas(const std::string& path, ByteRanges ranges) {
  const std::string key = Resolved(path);
  std::lock_guard hold(gMutex);
  if (ranges.empty())
    gAreas.erase(key);
  else
    gAreas[key] = std::move(ranges);
}

ByteRanges UnreadableAreasOf(const std::string& path) {
  std::lock_guard hold(gMutex);
  if (gAreas.empty()) return {};
  auto it = gAreas.find(Resolved(path));
  return it == gAreas.end() ? ByteRanges{} : it->second;
}

}  // namespace salvora::platform
