#include "cli/ContentVerification.h"

#include <cstdlib>
#include <filesystem>
#include <string>

#include "cli/Interrupt.h"
#include "cli/ProgressLine.h"
#include "recovery/RecordVerdicts.h"
#include "scan/ContainFailure.h"
#include "platform/PathChanges.h"
#include "platform/PathQueries.h"

namespace salvora::cli {
namespace {

// A new scratch folder on no scanned source: memory first, then the temporary folders. "" when
// none can be made (the files are then left not checked rather than written near their source).
std::string MakeScratchFolder(const EngineSession& session) {
  for (const std::string& base : platform::ScratchFolders()) {
    if (!platform::CanWriteIn(base) || session.SourceHolding(base)) continue;
    std::string folder = base + "/salvora-verify.XXXXXX";
    if (platform::MakeTempFolder(folder) == 0) return folder;
  }
  return {};
}

}  // namespace

std::vector<ContentVerdict> ListingVerdicts(EngineSession& session, const std::vector<FoundItem>& items,
                                            bool verify) {
  std::vector<ContentVerdict> verdicts(items.size());
  std::vector<size_t> unknown;
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].record.IsFolder()) continue;
    IFileRecoveryParse& engine = *session.sources()[items[i].source].engine;
    if (const auto kept = KeptVerdict(engine, items[i].record))
      verdicts[i] = *kept;
    else if (Verifiable(items[i].record, kVerifyMaxBytes))
      unknown.push_back(i);
  }
  if (!verify || unknown.empty()) return verdicts;
  const std::string scratch = MakeScratchFolder(session);
  if (scratch.empty()) return verdicts;
  ProgressLine progress;
  for (size_t n = 0; n < unknown.size() && !Interrupted(); ++n) {
    const FoundItem& item = items[unknown[n]];
    IFileRecoveryParse& engine = *session.sources()[item.source].engine;
    progress.Update(int(n * 100 / unknown.size()),
                    "checking content: " + std::to_string(n) + " of " + std::to_string(unknown.size()));
    ContentVerdict verdict;
    ContainFailure([&] {
      verdict = VerifyRecord(engine, item.record, scratch, kVerifyMaxBytes);
      return 0;
    }, [] { return 0; });
    verdicts[unknown[n]] = verdict;
    KeepVerdict(engine, item.record, verdict);
  }
  progress.Finish();
  std::error_code ignored;
  std::filesystem::remove_all(scratch, ignored);
  return verdicts;
}

}  // namespace salvora::cli
