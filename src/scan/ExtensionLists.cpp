#include "scan/ExtensionLists.h"

#include "platform/TextEncoding.h"

namespace salvora {
namespace {

// The items that match only as a whole extension.
constexpr std::string_view kWholeOnlyItems[] = {"*.avif|", "*.flac|"};

// True when the match of extension at `at` lies inside one of those items without being all of it.
bool InsideWholeOnlyItem(std::string_view list, size_t at, std::string_view extension) {
  for (std::string_view item : kWholeOnlyItems) {
    const size_t from = at >= item.size() ? at - item.size() : 0;
    for (size_t i = list.find(item, from); i != std::string_view::npos && i <= at; i = list.find(item, i + 1))
      if (at + extension.size() <= i + item.size() && item.substr(2, item.size() - 3) != extension) return true;
  }
  return false;
}

}  // namespace

std::string LowerExtensionOf(std::string_view name) {
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  return platform::ToLowerAscii(name.substr(dot + 1));
}

bool ExtensionInList(std::string_view extension, std::string_view list) {
  if (extension.empty()) return false;
  for (size_t at = list.find(extension); at != std::string_view::npos; at = list.find(extension, at + 1))
    if (!InsideWholeOnlyItem(list, at, extension)) return true;
  return false;
}

}  // namespace salvora
