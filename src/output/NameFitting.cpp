#include "output/NameFitting.h"

#include <climits>

#include "platform/FileNameRules.h"
#include "platform/PathQueries.h"
#include "platform/TextEncoding.h"

namespace salvora {
namespace {

constexpr size_t kDefaultNameLimit = 255;
// Longer "extensions" are part of the name (a dot inside a long title).
constexpr size_t kMaxExtensionBytes = 16;

}  // namespace

size_t NameLimitOf(const std::string& folder) {
  std::string probe = folder.empty() ? "." : folder;
  for (;;) {
    if (platform::PathExists(probe)) {
      const size_t limit = platform::NameLimitAt(probe);
      return limit > 0 ? limit : kDefaultNameLimit;
    }
    const size_t slash = probe.find_last_of('/');
    if (slash == std::string::npos) probe = ".";
    else if (slash == 0) probe = "/";
    else probe.resize(slash);
  }
}

size_t PathRoomIn(const std::string& folder) {
  const size_t used = platform::NameUnits(folder) + 1;  // the folder and its "/"
  return used >= platform::PathLimit() ? 0 : platform::PathLimit() - used;
}

void SplitExtension(std::string_view name, std::string_view& stem, std::string_view& extension) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || name.size() - dot > kMaxExtensionBytes) {
    stem = name;
    extension = {};
    return;
  }
  stem = name.substr(0, dot);
  extension = name.substr(dot);
}

std::string FitName(std::string_view name, std::string_view suffix, size_t maxBytes) {
  std::string_view stem, extension;
  SplitExtension(name, stem, extension);
  const size_t fixed = platform::NameUnits(suffix) + platform::NameUnits(extension);
  if (fixed >= maxBytes) return "";
  std::string fitted = platform::TruncateName(stem, maxBytes - fixed);
  if (fitted.empty()) return "";
  fitted.append(suffix).append(extension);
  return fitted;
}

}  // namespace salvora
