#pragma once

#include <string>

// Work files (a recovered file being copied) carry a lock for as long as the process writing them
// lives. The kernel drops it when that process ends, however it ends (SIGKILL and power loss
// included), so a work file without the lock was left behind and may be removed, while one that
// another run is writing right now is left alone.
namespace salvora::platform {

// Marks the open file fd, which this process has just created, as in use. false when a sweep
// removed it between its creation and this call (the caller makes another).
bool MarkInUse(int fd);

// Removes path when it is a regular file that no live process marks in use. true when removed.
bool RemoveIfAbandoned(const std::string& path);

}  // namespace salvora::platform
