#include "platform/FileNameRules.h"

#include <climits>

#include "platform/TextEncoding.h"

namespace salvora::platform {

bool FileNamesFollowWindowsRules() { return false; }

size_t NameUnits(std::string_view utf8) { return utf8.size(); }

std::string TruncateName(std::string_view utf8, size_t units) { return TruncateUtf8(utf8, units); }

size_t PathLimit() { return PATH_MAX - 1; }

}  // namespace salvora::platform
