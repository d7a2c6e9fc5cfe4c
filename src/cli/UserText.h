#pragma once

#include <string>

#include "platform/FailureText.h"

// What the command line prints about names and failures: every name or path made printable
// (a name from the medium cannot forge a line or move the cursor), every failure in words.
namespace salvora::cli {

// text with unprintable characters escaped as "\xNN".
std::string Shown(const std::string& text);
using platform::ReasonInContext;
using platform::ReasonText;

}  // namespace salvora::cli
