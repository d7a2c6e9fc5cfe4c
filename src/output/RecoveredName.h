#pragma once

#include <string>
#include <string_view>

namespace salvora {

// A name from the medium made safe to create inside a destination folder: "/", "\", NUL and
// control characters become "_", and "", "." and ".." become underscores too, so the file never lands
// outside its folder. On Windows the name also follows its rules (WindowsFileName.h).
std::string SanitiseRecoveredName(std::string_view name);

// The name a found file is shown and saved under. A deleted 8.3 entry has lost its first letter;
// its record keeps the "!" the scan put there, and the name shows "_" in its place, as The Sleuth
// Kit does. A name whose long form gave the letter back has no "!" and stays as it is.
std::string ShownFileName(std::string_view recordName, bool deleted);

}  // namespace salvora
