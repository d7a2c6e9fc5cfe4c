#include "cli/UserText.h"

#include "platform/ErrorCodes.h"
#include "platform/FailureContext.h"
#include "platform/PlatformError.h"
#include "platform/PrintableText.h"

namespace salvora::cli {

std::string Shown(const std::string& text) { return platform::PrintableText(text); }

std::string Reason(int code) {
  switch (code) {
    case kOk:
    case kOutOfMemory:
    case kWriteFault:
    case kReadFault:
    case kInvalidParameter:
    case kScanCancelled: return platform::ErrorText(code);
    default: break;
  }
  if (platform::IsPlatformError(code)) return Shown(platform::ErrorText(code));
  return "the source's records of this item are damaged or of a kind not supported";
}

std::string ReasonInContext(int code) { return Reason(code) + platform::DescribeFailure(code); }

}  // namespace salvora::cli
