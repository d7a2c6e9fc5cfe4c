#include "platform/FailureText.h"

#include "platform/ErrorCodes.h"
#include "platform/FailureContext.h"
#include "platform/PlatformError.h"
#include "platform/PrintableText.h"

namespace salvora::platform {

std::string ReasonText(int code) {
  switch (code) {
    case kOk:
    case kOutOfMemory:
    case kWriteFault:
    case kReadFault:
    case kInvalidParameter:
    case kScanCancelled: return ErrorText(code);
    default: break;
  }
  // The system's own words may hold anything a path held.
  if (IsPlatformError(code)) return PrintableText(ErrorText(code));
  return "the source's records of this item are damaged or of a kind not supported";
}

std::string ReasonInContext(int code) { return ReasonText(code) + DescribeFailure(code); }

}  // namespace salvora::platform
