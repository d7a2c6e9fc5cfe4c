#pragma once

#include <string>

// Reading a block device the user has no right to read, without running the program as root: the
// read-only device helper (salvora-open-device), started through pkexec and the polkit action
// org.salvora.open-device, opens the device and hands back a read-only descriptor.
namespace salvora::platform {

// True when path is a block device and the process is not root: the helper may open it.
bool WantsDeviceHelper(const std::string& path);
// Opens path through the helper. Returns 0 with a read-only descriptor in *fd (the caller owns it),
// or the platform error for "permission denied" when the helper is missing or the user refused.
// A device granted once is not asked for again by this process.
int OpenThroughDeviceHelper(const std::string& path, int* fd);
// The message for a failed open of path: the error and, when a user may not read a device, what
// reading it needs.
std::string OpenErrorText(const std::string& path, int code);
// The helper program: $SALVORA_DEVICE_HELPER, else PREFIX/lib/salvora/ of an installed program,
// else beside the program (a build tree). "" when there is none.
std::string DeviceHelperPath();

}  // namespace salvora::platform
