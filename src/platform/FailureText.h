#pragma once

#include <string>

// A failure in words, for whoever shows it to a user (the command line, the desktop program).
namespace salvora::platform {

// The wording of a result code; the engines' internal codes, which mean nothing to a user, are
// told as what they stand for.
std::string ReasonText(int code);
// The same, with what was being read when the code was returned, when this thread noted it
// ("Read fault (reading the FAT boot sector at sector 0)").
std::string ReasonInContext(int code);

}  // namespace salvora::platform
