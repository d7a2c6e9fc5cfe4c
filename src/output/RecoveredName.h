#pragma once

#include <string>
#include <string_view>

namespace salvora {

// A name from the medium made safe to create inside a destination folder: "/", "\", NUL and
// control characters become "_", and "", "." and ".." become underscores too, so the file never lands
// outside its folder.
std::string SanitiseRecoveredName(std::string_view name);

}  // namespace salvora
