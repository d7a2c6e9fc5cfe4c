#include "cli/ResumeState.h"

#include "recovery/CProfessionalRecovery.h"

namespace salvora::cli {

// Only the advanced scan keeps a resume state; it finds it when the source is opened.
bool HasResumeState(IFileRecoveryParse& engine, std::string& savedScanName) {
  savedScanName.clear();
  auto* pro = dynamic_cast<CProfessionalRecovery*>(&engine);
  return pro && pro->HasResumeState();
}

void DiscardResumeState(IFileRecoveryParse& engine) {
  if (auto* pro = dynamic_cast<CProfessionalRecovery*>(&engine)) pro->DiscardResumeState();
}

}  // namespace salvora::cli
