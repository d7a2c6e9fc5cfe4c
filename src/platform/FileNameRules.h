#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// What the system's file names may be: Linux counts names and paths in bytes and forbids only
// "/" and NUL; Windows counts UTF-16 units and forbids much more (output/WindowsFileName.h).
namespace salvora::platform {

bool FileNamesFollowWindowsRules();
// The length of a UTF-8 name or path in the units the system's limits count.
size_t NameUnits(std::string_view utf8);
// The longest prefix of text, ending on a character boundary, of at most units.
std::string TruncateName(std::string_view utf8, size_t units);
// The longest path the system takes, in NameUnits.
size_t PathLimit();

}  // namespace salvora::platform
