#include "output/FileCategory.h"

#include "scan/ExtensionLists.h"

namespace salvora {

std::string CategoryOf(std::string_view fileName) {
  struct Category {
    const char* folder;
    std::string_view list;
  };
  static constexpr Category kCategories[] = {
      {"photo", PictureExtensions},       {"audio", AudioExtensions},
      {"video", VideoExtensions},         {"document", kDocumentExtensions},
      {"archive", kArchiveExtensions},
  };
  const std::string extension = LowerExtensionOf(fileName);
  for (const auto& c : kCategories)
    if (ExtensionInList(extension, c.list)) return c.folder;
  return "others";
}

}  // namespace salvora
