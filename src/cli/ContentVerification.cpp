#include "cli/ContentVerification.h"

#include <optional>
#include <string>

#include "cli/Interrupt.h"
#include "cli/ProgressLine.h"
#include "recovery/ListingVerdicts.h"

namespace salvora::cli {

std::vector<ContentVerdict> ListingVerdicts(EngineSession& session, const std::vector<FoundItem>& items,
                                            bool verify) {
  std::vector<ListingFile> files;
  files.reserve(items.size());
  for (const FoundItem& item : items) files.push_back({session.sources()[item.source].engine.get(), &item.record});
  std::optional<ProgressLine> progress;
  ListingCheck how;
  how.check = verify;
  how.onSource = [&](const std::string& folder) { return session.SourceHolding(folder) != nullptr; };
  how.progress = [&](size_t done, size_t total) {
    if (!progress) progress.emplace();
    progress->Update(int(done * 100 / total),
                     "checking content: " + std::to_string(done) + " of " + std::to_string(total));
  };
  how.cancelled = [] { return Interrupted(); };
  std::vector<ContentVerdict> verdicts = salvora::ListingVerdicts(files, how);
  if (progress) progress->Finish();
  return verdicts;
}

}  // namespace salvora::cli
