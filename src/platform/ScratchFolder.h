#pragma once

#include <functional>
#include <string>

// A private folder for short-lived copies, off the media being read: memory (/dev/shm) first,
// then $TMPDIR, then /tmp.
namespace salvora::platform {

// Makes a new folder under the first usable base that `refused` does not reject (it is asked
// about each base, e.g. whether it lies on a scanned source). "" when none can be made.
std::string MakeScratchFolder(const std::function<bool(const std::string& base)>& refused);
// Removes the folder and whatever is left in it.
void RemoveScratchFolder(const std::string& folder);

}  // namespace salvora::platform
