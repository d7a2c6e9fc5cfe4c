#pragma once

#include <string>

// Paths for the wide-character calls of Windows, used by the Windows implementations of this
// floor only. The floors above pass UTF-8 with either slash.
namespace salvora::platform {

// UTF-16 path with backslashes; long absolute paths get the \\?\ prefix so that they may pass 260
// characters. Device paths (\\.\PhysicalDrive0) pass unchanged.
std::wstring WidePath(const std::string& utf8Path);
std::string Utf8Path(const std::wstring& widePath);
// Sets errno from a Windows error code (GetLastError) and returns -1, the shape of a failed
// POSIX call.
int FailWithWindowsError(unsigned long windowsError);

}  // namespace salvora::platform
