#pragma once

#include <string>

// What the command line prints about names and failures: every name or path made printable
// (a name from the medium cannot forge a line or move the cursor), every failure in words.
namespace salvora::cli {

// text with unprintable characters escaped as "\xNN".
std::string Shown(const std::string& text);
// The wording of a result code; the engines' internal codes, which mean nothing to a user, are
// told as what they stand for.
std::string Reason(int code);
// The same, with what was being read when the code was returned, when this thread noted it
// ("Read fault (reading the FAT boot sector at sector 0)").
std::string ReasonInContext(int code);

}  // namespace salvora::cli
