#pragma once

#include <string>

namespace salvora::cli {

// text as a JSON string literal, quotes included (control characters escaped).
std::string JsonString(const std::string& text);

}  // namespace salvora::cli
