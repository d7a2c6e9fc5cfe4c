#include "platform/PlatformError.h"

#include <cerrno>
#include <cstring>

#include "platform/ErrorCodes.h"

namespace salvora::platform {
namespace {

// What the NTFS engines answer for a file record they cannot use.
constexpr int kNotAFileRecord = -1;
constexpr int kNoSuchAttribute = -100;
constexpr int kNotResident = -101;

}  // namespace

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
    case kInvalidParameter: return "Invalid parameter";
    case kScanCancelled: return "Cancelled";
    case kNotAFileRecord: return "The file's record is damaged";
    case kNoSuchAttribute: return "The file's record no longer says where its data lies";
    case kNotResident: return "The file's data could not be found in its record";
    default: break;
  }
  if (IsPlatformError(code)) return std::strerror(code - kErrnoBase);
  // Codes no user could act on are not shown.
  return "Unexpected failure";
}

}  // namespace salvora::platform
