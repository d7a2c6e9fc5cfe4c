#include "recovery/ListingVerdicts.h"

#include <deque>
#include <optional>
#include <string>

#include "carving/ContentCheckQueue.h"
#include "platform/PathChanges.h"
#include "platform/ScratchFolder.h"
#include "recovery/RecordVerdicts.h"
#include "scan/ContainFailure.h"

namespace salvora {
namespace {

// The files of the listing that have no verdict yet and can be checked.
std::vector<size_t> Unchecked(const std::vector<ListingFile>& files, std::vector<ContentVerdict>& verdicts) {
  std::vector<size_t> unknown;
  for (size_t i = 0; i < files.size(); ++i) {
    const ListingFile& file = files[i];
    if (!file.engine || !file.record || file.record->IsFolder()) continue;
    if (const auto kept = KeptVerdict(*file.engine, *file.record))
      verdicts[i] = *kept;
    else if (Verifiable(*file.record, kVerifyMaxBytes))
      unknown.push_back(i);
  }
  return unknown;
}

}  // namespace

std::vector<ContentVerdict> ListingVerdicts(const std::vector<ListingFile>& files, const ListingCheck& how) {
  std::vector<ContentVerdict> verdicts(files.size());
  const std::vector<size_t> unknown = Unchecked(files, verdicts);
  if (!how.check || unknown.empty()) return verdicts;
  const std::string scratch = platform::MakeScratchFolder(how.onSource);
  if (scratch.empty()) return verdicts;
  // The engines are read on this thread only; the copies are checked on every core. Few copies
  // wait at a time, as they live in memory.
  ContentCheckQueue checks;
  struct Copy {
    size_t index;
    std::string path;  // "" when the copy failed
    std::optional<ContentVerdict> known;  // the check of the same bytes made in the sweep
  };
  std::deque<Copy> waiting;
  size_t finished = 0;
  auto finishOldest = [&] {
    const Copy copy = std::move(waiting.front());
    waiting.pop_front();
    const ContentVerdict verdict = copy.known ? *copy.known
                                   : copy.path.empty() ? ContentVerdict::NotChecked() : checks.Take();
    if (!copy.path.empty()) platform::RemoveFile(copy.path);
    const ListingFile& file = files[copy.index];
    verdicts[copy.index] = verdict;
    KeepFileCheck(*file.engine, *file.record, verdict);
    if (how.progress) how.progress(++finished, unknown.size());
  };
  if (how.progress) how.progress(0, unknown.size());
  for (const size_t index : unknown) {
    if (how.cancelled && how.cancelled()) break;
    const ListingFile& file = files[index];
    std::string path;
    ContainFailure([&] {
      path = ScratchCopy(*file.engine, *file.record, scratch);
      return 0;
    }, [] { return 0; });
    std::optional<ContentVerdict> known;
    if (!path.empty())
      known = ContainFailure([&] { return CheckOfSameBytes(*file.engine, *file.record, path); },
                             [] { return std::optional<ContentVerdict>(); });
    if (!path.empty() && !known) checks.Submit(path);
    waiting.push_back({index, std::move(path), known});
    while (waiting.size() > 2 * checks.Workers()) finishOldest();
  }
  while (!waiting.empty()) finishOldest();
  platform::RemoveScratchFolder(scratch);
  return verdicts;
}

}  // namespace salvora
