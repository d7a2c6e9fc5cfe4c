#include "cli/ResumeState.h"

namespace salvora::cli {

// The coordinator keeps the resume state; until it is part of the build no engine has any.
bool HasResumeState(IFileRecoveryParse&, std::string& savedScanName) {
  savedScanName.clear();
  return false;
}

void DiscardResumeState(IFileRecoveryParse&) {}

}  // namespace salvora::cli
