#include "app/FileIconFor.h"

#include "app/CategoryLists.h"
#include "platform/TextEncoding.h"

namespace salvora::app {

std::string FileIconFor(const std::string& extension, bool good) {
  const std::string ext = platform::ToLowerAscii(extension);
  if (ext == "folder") return "folder.png";
  const char* base = "default";
  if (ext == "exe") {
    base = "exe";
  } else if (ListHas(kPhotoList, ext)) {
    base = "image";
  } else if (ListHas(kAudioList, ext)) {
    base = "music";
  } else if (ListHas(kDocumentList, ext)) {
    base = "doc";
  } else if (ListHas(kVideoList, ext)) {
    base = "video";
  } else if (ListHas(kArchiveList, ext)) {
    base = "zip";
  }
  return std::string(base) + (good ? ".png" : "_error.png");
}

}  // namespace salvora::app
