#include "storage/ImageMap.h"

#include "platform/FileStatus.h"
#include "platform/PlatformError.h"
#include "platform/UnreadableAreas.h"
#include "storage/RescueMap.h"

namespace salvora {
namespace {

bool IsFile(const std::string& path) {
  platform::FileStatus st;
  return platform::StatPath(path, st) == 0 && st.IsRegular();
}

}  // namespace

std::string MapPathFor(const std::string& imagePath) {
  const size_t slash = imagePath.rfind('/');
  const size_t dot = imagePath.rfind('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  std::string replaced = hasExtension ? imagePath.substr(0, dot) + ".map" : imagePath + ".map";
  return replaced == imagePath ? imagePath + ".map" : replaced;
}

std::string FindMapBeside(const std::string& imagePath) {
  if (std::string replaced = MapPathFor(imagePath); IsFile(replaced)) return replaced;
  std::string appended = imagePath + ".map";
  return IsFile(appended) ? appended : std::string();
}

bool ApplyImageMap(const std::string& imagePath, const std::string& mapPath, ImageMapFacts& facts,
                   std::string& error) {
  RescueMap map;
  std::string why;
  if (int rc = LoadRescueMap(mapPath, map, why); rc != 0) {
    error = "cannot use the map " + mapPath + ": " + (why.empty() ? platform::ErrorText(rc) : why);
    return false;
  }
  auto ranges = map.UnreadableRanges();
  facts.mapPath = mapPath;
  facts.unreadableAreas = ranges.size();
  facts.unreadableBytes = 0;
  for (auto [start, end] : ranges) facts.unreadableBytes += end - start;
  platform::SetUnreadableAreas(imagePath, std::move(ranges));
  return true;
}

}  // namespace salvora
