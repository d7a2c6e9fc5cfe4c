#pragma once

#include <memory>
#include <string>

#include "platform/DeviceHandle.h"

namespace salvora::platform {

// Whether path names a device of Windows (\\.\PhysicalDrive0, \\.\E:).
bool IsWindowsDevicePath(const std::string& path);
// Opens a disk or volume read-only, shared for reading and writing so that the system and other
// programs keep using it. nullptr with the Windows error in *windowsError when it cannot be opened.
std::unique_ptr<DeviceHandle> OpenWindowsDevice(const std::string& path, int* windowsError);

}  // namespace salvora::platform
