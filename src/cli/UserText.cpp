#include "cli/UserText.h"

#include "platform/PrintableText.h"

namespace salvora::cli {

std::string Shown(const std::string& text) { return platform::PrintableText(text); }

}  // namespace salvora::cli
