#pragma once

#include <string_view>

#include "scan/ExtensionLists.h"

// The category extension lists the icons and the file-type page test against, with the same
// plain substring search that the output categories use.
namespace salvora::app {

inline constexpr std::string_view kPhotoList = PictureExtensions;
inline constexpr std::string_view kAudioList = AudioExtensions;
inline constexpr std::string_view kVideoList = VideoExtensions;
inline constexpr std::string_view kDocumentList =
    "*.doc|*.xls|*.ppt|*.odt|*.ods|*.pdf|*.docx|*.xlsx|*.pptx|*.ole|*.txt|*.xml|*.chm|*.html|*.pst|"
    "*.dbx|*.wps|*.dps|*.et|*.one|*.mpp|*.mdb|*.accdb|";
inline constexpr std::string_view kArchiveList =
    "*.zip|*.rar|*.gzip|*.tar|*.7z|*.cab|*.arj|*.lzh|*.ace|*.gz|*.uue|*.bz2|*.jar|*.iso|";

inline bool ListHas(std::string_view list, std::string_view lowerExtension) {
  return list.find(lowerExtension) != std::string_view::npos;
}

}  // namespace salvora::app
