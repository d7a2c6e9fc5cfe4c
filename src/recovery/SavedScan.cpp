#include "recovery/SavedScan.h"

#include "recovery/CProfessionalRecovery.h"

namespace salvora {

SavedScan SavedScanOf(IFileRecoveryParse& engine) {
  SavedScan saved;
  auto* advanced = dynamic_cast<CProfessionalRecovery*>(&engine);
  if (!advanced) return saved;
  saved.advanced = true;
  saved.resumable = advanced->HasResumeState();
  saved.started = advanced->ScanStarted();
  saved.last = advanced->LastPosition();
  saved.resumeAt = advanced->ResumePoint();
  return saved;
}

void DiscardSavedScan(IFileRecoveryParse& engine) {
  if (auto* advanced = dynamic_cast<CProfessionalRecovery*>(&engine)) advanced->DiscardResumeState();
}

}  // namespace salvora
