#include "platform/PlatformError.h"

#include <cerrno>
#include <cstring>

#include "platform/ErrorCodes.h"

namespace salvora::platform {

int FromErrno(int errnoValue) { return kErrnoBase + (errnoValue > 0 ? errnoValue : EIO); }

int LastError() { return FromErrno(errno); }

bool IsPlatformError(int code) { return code > kErrnoBase && code < kErrnoBase + 10000; }

bool IsAlreadyExists(int code) { return code == FromErrno(EEXIST); }

std::string ErrorText(int code) {
  switch (code) {
    case kOk: return "Success";
    case kOutOfMemory: return "Not enough memory";
    case kWriteFault: return "Write fault";
    case kReadFault: return "Read fault";
    case kDataShort: return "Damaged: the data ran short";
    case kInvalidParameter: return "Invalid parameter";
    case kScanCancelled: return "Cancelled";
    default: break;
  }
  if (IsPlatformError(code)) return std::strerror(code - kErrnoBase);
  return "Error " + std::to_string(code);
}

}  // namespace salvora::platform
