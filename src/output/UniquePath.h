#pragma once

#include <string>
#include <string_view>

namespace salvora {

// The path for name inside folder that nothing holds yet: name itself when it is free, otherwise
// the first free "base(n).ext" for n = 1, 2, 3 ... (no space before the parenthesis). A name longer
// than the destination takes is cut before its extension (and before the number) to fit, and
// *shortened says so. tag goes before the number ("a.partial(1).jpg"). "" when no free name fits.
std::string MakeUniquePath(const std::string& folder, std::string_view name, bool* shortened = nullptr,
                           std::string_view tag = {});
// The same for a path given whole.
std::string MakeUniquePath(const std::string& path);

}  // namespace salvora
