#include "platform/FileNameRules.h"

#include "platform/TextEncoding.h"

namespace salvora::platform {

bool FileNamesFollowWindowsRules() { return true; }

size_t NameUnits(std::string_view utf8) { return Utf8ToUtf16(utf8).size(); }

std::string TruncateName(std::string_view utf8, size_t units) { return TruncateUtf8ToUtf16Units(utf8, units); }

// Paths with the \\?\ prefix (WindowsPath.h) reach 32,767 units, the prefix included.
size_t PathLimit() { return 32767 - 8; }

}  // namespace salvora::platform
