#include "output/WindowsFileName.h"

#include <array>

#include "platform/TextEncoding.h"

namespace salvora {
namespace {

bool Forbidden(unsigned char c) {
  return c < 0x20 || c == '<' || c == '>' || c == ':' || c == '"' || c == '/' || c == '\\' || c == '|' ||
         c == '?' || c == '*';
}

// Windows ignores what follows the first dot, and trailing spaces before it, when it looks for a
// device name.
bool IsDeviceName(std::string_view name) {
  std::string_view stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  const std::string lower = platform::ToLowerAscii(stem);
  static constexpr std::array<std::string_view, 6> kNames = {"con", "prn", "aux", "nul", "conin$", "conout$"};
  for (std::string_view device : kNames)
    if (lower == device) return true;
  return lower.size() == 4 && (lower.compare(0, 3, "com") == 0 || lower.compare(0, 3, "lpt") == 0) &&
         lower[3] >= '1' && lower[3] <= '9';
}

}  // namespace

std::string WindowsSafeName(std::string_view name) {
  std::string safe;
  safe.reserve(name.size() + 1);
  for (char ch : name) safe += Forbidden(static_cast<unsigned char>(ch)) ? '_' : ch;
  for (size_t i = safe.size(); i > 0 && (safe[i - 1] == '.' || safe[i - 1] == ' '); --i) safe[i - 1] = '_';
  if (IsDeviceName(safe)) safe.insert(safe.begin(), '_');
  return safe;
}

}  // namespace salvora
