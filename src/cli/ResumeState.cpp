#include "cli/ResumeState.h"

#include "recovery/SavedScan.h"

namespace salvora::cli {

// Only the advanced scan keeps a resume state; it finds it when the source is opened.
bool HasResumeState(IFileRecoveryParse& engine, std::string& savedScanName) {
  savedScanName.clear();
  return SavedScanOf(engine).resumable;
}

void DiscardResumeState(IFileRecoveryParse& engine) { DiscardSavedScan(engine); }

bool KeepsOwnSessions(IFileRecoveryParse& engine) {
  return engine.Faces().saved != nullptr;
}

}  // namespace salvora::cli
