#include "platform/PrivilegedOpen.h"

#include <cerrno>

#include "platform/PlatformError.h"
#include "platform/WindowsDevice.h"

// Windows has no helper: reading a disk needs the program itself to run elevated.
namespace salvora::platform {

bool WantsDeviceHelper(const std::string&) { return false; }

std::string DeviceHelperPath() { return ""; }

std::string OpenErrorText(const std::string& path, int code) {
  std::string text = ErrorText(code);
  if (code == FromErrno(EACCES) && IsWindowsDevicePath(path))
    text += " (reading a disk needs administrator rights: start the program with \"Run as administrator\")";
  return text;
}

int OpenThroughDeviceHelper(const std::string&, int*) { return FromErrno(EACCES); }

}  // namespace salvora::platform
