#include "recovery/SavedScan.h"


namespace salvora {

SavedScan SavedScanOf(IFileRecoveryParse& engine) {
  SavedScan saved;
  ISavedScanState* advanced = engine.Faces().saved;
  if (!advanced) return saved;
  saved.advanced = true;
  saved.resumable = advanced->HasResumeState();
  saved.started = advanced->ScanStarted();
  saved.last = advanced->LastPosition();
  saved.resumeAt = advanced->ResumePoint();
  return saved;
}

void DiscardSavedScan(IFileRecoveryParse& engine) {
  if (ISavedScanState* advanced = engine.Faces().saved) advanced->DiscardResumeState();
}

}  // namespace salvora
