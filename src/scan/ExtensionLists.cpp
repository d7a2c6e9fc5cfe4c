#include "scan/ExtensionLists.h"

#include "platform/TextEncoding.h"

namespace salvora {

std::string LowerExtensionOf(std::string_view name) {
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  return platform::ToLowerAscii(name.substr(dot + 1));
}

bool ExtensionInList(std::string_view extension, std::string_view list) {
  return !extension.empty() && list.find(extension) != std::string_view::npos;
}

}  // namespace salvora
