#include "recovery/ListingVerdicts.h"

#include "platform/ScratchFolder.h"
#include "recovery/RecordVerdicts.h"
#include "scan/ContainFailure.h"

namespace salvora {

std::vector<ContentVerdict> ListingVerdicts(const std::vector<ListingFile>& files, const ListingCheck& how) {
  std::vector<ContentVerdict> verdicts(files.size());
  std::vector<size_t> unknown;
  for (size_t i = 0; i < files.size(); ++i) {
    const ListingFile& file = files[i];
    if (!file.engine || !file.record || file.record->IsFolder()) continue;
    if (const auto kept = KeptVerdict(*file.engine, *file.record))
      verdicts[i] = *kept;
    else if (Verifiable(*file.record, kVerifyMaxBytes))
      unknown.push_back(i);
  }
  if (!how.check || unknown.empty()) return verdicts;
  const std::string scratch = platform::MakeScratchFolder(how.onSource);
  if (scratch.empty()) return verdicts;
  for (size_t n = 0; n < unknown.size(); ++n) {
    if (how.cancelled && how.cancelled()) break;
    if (how.progress) how.progress(n, unknown.size());
    const ListingFile& file = files[unknown[n]];
    ContentVerdict verdict;
    ContainFailure([&] {
      verdict = VerifyRecord(*file.engine, *file.record, scratch, kVerifyMaxBytes);
      return 0;
    }, [] { return 0; });
    verdicts[unknown[n]] = verdict;
    KeepVerdict(*file.engine, *file.record, verdict);
  }
  platform::RemoveScratchFolder(scratch);
  return verdicts;
}

}  // namespace salvora
