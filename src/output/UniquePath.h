#pragma once

#include <string>

namespace salvora {

// path itself when nothing of that name exists; otherwise the first free "folder/base(n).ext" for
// n = 1, 2, 3 ... (no space before the parenthesis). "" when no free name is found.
std::string MakeUniquePath(const std::string& path);

}  // namespace salvora
