#pragma once

#include <string>

// Platform error codes. errno values would collide with the fixed codes (EROFS is 30, ENOEXEC is 8),
// so they are moved into a range of their own before they travel through the engines.
namespace salvora::platform {

inline constexpr int kErrnoBase = 100000;

// The code for an errno value (errno 0 gives a generic I/O failure code, never 0).
int FromErrno(int errnoValue);
// The code for the current errno.
int LastError();
// True when the code is a platform code (made by FromErrno).
bool IsPlatformError(int code);
// True for the platform's "file already exists" error.
bool IsAlreadyExists(int code);
// The system's message for a code; fixed codes get their own wording.
std::string ErrorText(int code);

}  // namespace salvora::platform
