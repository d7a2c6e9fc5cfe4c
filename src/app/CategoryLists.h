#pragma once

#include <string_view>

#include "output/FileCategory.h"
#include "scan/ExtensionLists.h"

// The category extension lists the icons and the file-type page test against, with the same
// plain substring search that the output categories use.
namespace salvora::app {

inline constexpr std::string_view kPhotoList = PictureExtensions;
inline constexpr std::string_view kAudioList = AudioExtensions;
inline constexpr std::string_view kVideoList = VideoExtensions;
inline constexpr std::string_view kDocumentList = kDocumentExtensions;
inline constexpr std::string_view kArchiveList = kArchiveExtensions;

inline bool ListHas(std::string_view list, std::string_view lowerExtension) {
  return ExtensionInList(lowerExtension, list);
}

}  // namespace salvora::app
