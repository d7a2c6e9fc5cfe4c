#include "output/RecoveredName.h"

#include "output/WindowsFileName.h"
#include "platform/FileNameRules.h"

namespace salvora {

std::string SanitiseRecoveredName(std::string_view name) {
  std::string safe;
  safe.reserve(name.size());
  for (char ch : name) {
    unsigned char c = static_cast<unsigned char>(ch);
    safe += (c < 0x20 || c == 0x7F || c == '/' || c == '\\') ? '_' : ch;
  }
  if (safe.empty()) safe.push_back('_');
  else if (safe == "." || safe == "..") safe.assign(safe.size(), '_');
  return platform::FileNamesFollowWindowsRules() ? WindowsSafeName(safe) : safe;
}

std::string ShownFileName(std::string_view recordName, bool deleted) {
  std::string name(recordName);
  if (deleted && !name.empty() && name.front() == '!') name.front() = '_';
  return name;
}

}  // namespace salvora
