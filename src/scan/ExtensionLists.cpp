#include "scan/ExtensionLists.h"

#include "platform/TextEncoding.h"

namespace salvora {

std::string LowerExtensionOf(std::string_view name) {
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  return platform::ToLowerAscii(name.substr(dot + 1));
}

bool ExtensionInList(std::string_view extension, std::string_view list) {
  if (extension.empty()) return false;
  if (list.find(extension) != std::string_view::npos) return true;
  std::string item = "*.";
  for (char c : extension) item += (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
  item += '|';
  return list.find(item) != std::string_view::npos;
}

}  // namespace salvora
