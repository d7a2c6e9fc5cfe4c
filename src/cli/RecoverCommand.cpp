
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <deque>
#include <map>

#include "carving/CheckContent.h"
#include "carving/ContentCheckQueue.h"
#include "cli/Commands.h"
#include "cli/EngineSession.h"
#include "cli/ImageMapOption.h"
#include "cli/Interrupt.h"
#include "cli/OutputTargets.h"
#include "cli/RecordFacts.h"
#include "cli/RunOptions.h"
#include "cli/UserText.h"
#include "output/DfxmlReport.h"
#include "output/FileCategory.h"
#include "output/OutputFiles.h"
#include "output/RecoveredFileFinish.h"
#include "output/RecoveredName.h"
#include "output/Sha256.h"
#include "output/StagedOutputFile.h"
#include "output/UniquePath.h"
#include "platform/ErrorCodes.h"
#include "platform/FileStatus.h"
#include "platform/PathChanges.h"
#include "platform/PathQueries.h"
#include "platform/PlatformError.h"
#include "recovery/RecordVerdicts.h"
#include "scan/ContainFailure.h"
#include "recovery/EngineTable.h"
#include "scan/FoundFileIdentity.h"

namespace salvora::cli {
namespace {

const char kUsage[] =
    "usage: salvora-cli recover SOURCE --to DIR [--fast] [--resume|--fresh] [--types ...]\n"
    "                           [--ext LIST] [--only-deleted] [--only-intact] [--report FILE [--overwrite]]\n"
    "                           [--force] [--keep-partial] [--map FILE]\n"
    "  SOURCE: an image path, volume:K, disk:N or disk:N:START:COUNT (see salvora-cli scan --help)\n"
    "  --to DIR        where to write; each file lands in DIR/<category>/ (photo, audio, video,\n"
    "                  document, archive, others) under a name that never replaces another\n"
    "  --fast          read only the file system's own records (otherwise the advanced scan)\n"
    "  --resume/--fresh as for scan\n"
    "  --types LIST    only files of these kinds (photo,audio,video,all), as the file-type page\n"
    "  --ext LIST      only files with these extensions (jpg,png)\n"
    "  --only-deleted  leave out files that still exist on the source\n"
    "  --only-intact   write only files whose content check finds them intact; damaged files and\n"
    "                  files of types without a check are skipped and counted\n"
    "  --report FILE   write a DFXML report of the recovered files (names, sizes, sha256); an\n"
    "                  existing FILE is replaced only with --overwrite, the source never\n"
    "  --force         write even when DIR or FILE is on the scanned source's medium (this can\n"
    "                  overwrite the very files being recovered)\n"
    "  --keep-partial  keep what was copied of a file that could not be finished (a full\n"
    "                  destination, a read fault, Ctrl-C) as NAME.partial.EXT; otherwise it is removed\n"
    "A name longer than the destination takes is shortened before its extension, and said so.\n"
    "  --map FILE      the map of an image made from a failing medium (see salvora-cli scan --help);\n"
    "                  files touching its unreadable areas are reported as damaged\n"
    "An Expert Witness image's chunks that fail their checksum are unreadable areas too: a file\n"
    "touching one is 'Damaged at byte N' and not written. An image set with a segment or piece\n"
    "missing or cut is refused; --force reads what is there, the gap unreadable.\n"
    "Prints one line per file: 'Success', 'Success (damaged at byte N)' when what was written\n"
    "breaks by its format's structure at byte N, or the error; then the counts. The report\n"
    "gives each file's content verdict.\n"
    "Exit codes: 0 all written whole, 1 some failed or came out short, 2 bad arguments, source or destination, 130 cancelled.\n";

// The counts of the run, kept by the recovery-progress callback as each file finishes.
struct RunCounts {
  int total = 0;
  int finished = 0;
  int failed = 0;
  int skippedDamaged = 0;  // --only-intact
  int skippedUnchecked = 0;
  bool fileFinished = false;
  int fileError = 0;
};

int RecoveryProgress(void* userData, int percent, int hundred, int error, const char*) {
  auto* counts = static_cast<RunCounts*>(userData);
  if (Interrupted()) return ScanCancelled;
  if (percent * hundred / 100 == 100 && !counts->fileFinished) {
    counts->fileFinished = true;
    counts->fileError = error;
    ++counts->finished;
    if (error != 0) ++counts->failed;
  }
  return 0;
}

uint64_t SizeOf(const std::string& path) {
  platform::FileStatus st;
  return platform::StatPath(path, st) == 0 ? st.size : 0;
}

std::string CommandLine(const Args& args) {
  std::string text = "salvora-cli recover";
  for (const auto& a : args) text += " " + a;
  return text;
}

// The files the run writes, in selection-key order: what the browser lists (pictures that
// failed the content check stay out), or what the type search finds.
int Select(EngineSession& session, const RunOptions& options, std::map<uint64_t, FoundItem>& selection) {
  std::vector<FoundItem> items;
  int rc = options.searchText.empty() ? session.Walk(items) : session.Search(options.searchText, items);
  for (auto& item : items) {
    const FoundFileRecord& r = item.record;
    if (r.IsFolder() || (options.onlyDeleted && StateOf(r) == FindState::Live)) continue;
    if (r.ContentCheck() == 0 && CategoryOf(r.Name()) == "photo") continue;
    selection.emplace(SelectionKey(r), std::move(item));
  }
  return rc;
}

// The line of the counts at the end of a run: finished, total, recovered, failed.
void PrintCounts(const RunCounts& counts, bool onlyIntact) {
  const int skipped = counts.skippedDamaged + counts.skippedUnchecked;
  std::printf("Finished %d of %d files: %d recovered, %d failed", counts.finished, counts.total,
              counts.finished - counts.failed - skipped, counts.failed);
  if (onlyIntact)
    std::printf(", %d skipped as not intact (%d damaged, %d not checked)", skipped, counts.skippedDamaged,
                counts.skippedUnchecked);
  std::printf("\n");
}

// Under --only-intact, a file not found intact is taken back out of the destination and counted.
void SkipNotIntact(const FoundItem& item, const std::string& written, const ContentVerdict& verdict,
                   RunCounts& counts) {
  platform::RemoveFile(written);
  (verdict.damaged() ? counts.skippedDamaged : counts.skippedUnchecked)++;
  std::printf("%s: Skipped (%s)\n", Shown(item.path).c_str(), verdict.Text().c_str());
}

// One file of the run once its copy has ended: what the engine answered and where it lies.
struct WrittenFile {
  const FoundItem* item = nullptr;
  IFileRecoveryParse* engine = nullptr;
  std::string name;    // the name made safe, before any shortening
  std::string target;  // where it was written under its name ("" when no name fits)
  bool shortened = false;
  int result = 0;
  std::string partial;  // what was kept of a file that could not be finished
  uint64_t stoppedAt = UINT64_MAX;  // the bytes copied before it could not be finished
  bool checked = false;  // under its name, so its content is being checked
  std::optional<ContentVerdict> kept;  // the scan's check of these very bytes, when it made one
};

DfxmlReport::FileObject ReportEntry(const WrittenFile& file, const FinishedFile& done, uint64_t size,
                                    const ContentVerdict& verdict) {
  const FoundFileRecord& record = file.item->record;
  DfxmlReport::FileObject entry;
  entry.filename = file.item->path;
  entry.outputPath = done.path;
  if (file.shortened) entry.originalName = file.name;
  entry.status = file.result == 0 ? "" : file.result == kDataShort ? "short" : "partial";
  entry.filesize = size;
  entry.deleted = StateOf(record) != FindState::Live;
  entry.writeTime = record.WriteTime();
  entry.creationTime = record.CreationTime();
  entry.accessTime = record.AccessTime();
  entry.sha256 = Sha256OfFile(done.path);
  entry.engine = EngineNameOf(record);
  entry.state = StateName(StateOf(record));
  entry.foundBy = FoundByNames(*file.engine, record);
  entry.timeSource = TimeSourceName(done.timeSource);
  if (file.checked || verdict.damaged()) entry.verdict = verdict;
  if (done.timeSource == TimeSource::Exif) entry.writeTime = done.writeTime;
  uint64_t sector = 0;
  // Only a file in one piece has a known run: its clusters follow its first one.
  if (FirstDataSector(record, sector) && size > 0 && size <= record.ClusterSize())
    entry.byteRuns.push_back({0, sector * 512, size});
  return entry;
}

// Copies one file under a name of its own in its category folder. A file cut short stays under
// its name and is checked as written (it is damaged where it ends); one that could not be
// finished is kept only as partial, if at all.
WrittenFile WriteOne(const FoundItem& item, IFileRecoveryParse& engine, const std::string& destination,
                     int baseSeparators, RunCounts& counts) {
  WrittenFile file;
  file.item = &item;
  file.engine = &engine;
  file.name = SanitiseRecoveredName(ShownFileName(item.record.Name(), item.record.IsDeleted()));
  file.target = MakeUniquePath(destination + "/" + CategoryOf(file.name), file.name, &file.shortened);
  counts.fileFinished = false;
  counts.fileError = 0;
  // One file's failure is that file's, as in the desktop program's recovery worker. No name fits
  // the destination only when even one character and the extension are too long.
  int result = platform::FromErrno(ENAMETOOLONG);
  if (!file.target.empty())
    result = ContainFailure([&] { return engine.RecoverFile(&item.record, file.target, baseSeparators); },
                            [] { return kWriteFault; });
  file.partial = StagedOutputFile::TakeLastPartial();
  file.stoppedAt = StagedOutputFile::TakeLastAbandonedBytes();
  file.result = result;
  if (result == ScanCancelled) return file;
  // An engine that fails without reporting the end of the file still counts it.
  if (!counts.fileFinished) {
    ++counts.finished;
    if (result != 0) ++counts.failed;
  } else if (result == 0) {
    file.result = counts.fileError;
  } else if (counts.fileError == 0) {
    ++counts.failed;
  }
  file.checked = file.result == 0 || file.result == kDataShort;
  return file;
}

// The last step of one file: its verdict kept, a file not intact taken back out under
// --only-intact, its times and metadata name, its line and its report entry.
void FinishFile(const WrittenFile& file, const ContentVerdict& verdict, const RunOptions& options,
                bool sourceDamaged, RunCounts& counts, DfxmlReport& report) {
  const FoundItem& item = *file.item;
  // A file that ran into an unreadable area of a damaged image (its map's bad areas, a chunk
  // that fails its checksum) is damaged where its copy stopped.
  const bool unreadable = IsReadFailure(file.result) && (sourceDamaged || SourceMetUnreadableAreas(options));
  const std::string failure = unreadable ? DamagedText(file.stoppedAt) : ReasonText(file.result);
  if (!file.checked && file.partial.empty()) {
    std::printf("%s: %s\n", Shown(item.path).c_str(), failure.c_str());
    return;
  }
  if (file.checked) KeepVerdict(*file.engine, item.record, verdict);
  if (options.onlyIntact && file.result == 0 && !verdict.intact()) {
    SkipNotIntact(item, file.target, verdict, counts);
    return;
  }
  // Its times, and for a carved file a name from its own metadata.
  const FinishedFile done = file.checked ? FinishRecoveredFile(item.record, file.target) : FinishedFile{file.partial};
  const uint64_t size = SizeOf(done.path);
  if (file.result == kDataShort)
    std::printf("%s -> %s: Damaged (short: %" PRIu64 " of %" PRIu64 " bytes)\n", Shown(item.path).c_str(),
                Shown(done.path).c_str(), size, item.record.FileSize());
  else if (file.result != 0)
    std::printf("%s -> %s: %s (partial: %" PRIu64 " of %" PRIu64 " bytes)\n", Shown(item.path).c_str(),
                Shown(file.partial).c_str(), failure.c_str(), size, item.record.FileSize());
  else
    std::printf("%s -> %s: Success%s%s\n", Shown(item.path).c_str(), Shown(done.path).c_str(),
                verdict.damaged() ? (" (" + verdict.Text() + ")").c_str() : "",
                file.shortened ? " (name shortened to fit the destination)" : "");
  if (options.reportPath.empty()) return;
  const uint64_t stoppedAt = file.stoppedAt == UINT64_MAX ? 0 : file.stoppedAt;
  report.Add(ReportEntry(file, done, size, unreadable ? ContentVerdict::DamagedAt(stoppedAt) : verdict));
}

}  // namespace

int RunRecover(const Args& args) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  RunOptions options;
  std::string error;
  if (!ParseRunOptions(args, true, options, error)) {
    std::fprintf(stderr, "salvora-cli: %s (see salvora-cli recover --help)\n", Shown(error).c_str());
    return kExitBadInput;
  }
  std::string destination = options.destination;
  while (destination.size() > 1 && destination.back() == '/') destination.pop_back();
  bool damaged = false;
  if (!ApplySourceMap(options, damaged, error)) {
    std::fprintf(stderr, "salvora-cli: %s\n", error.c_str());
    return kExitBadInput;
  }
  EngineSession session;
  if (!session.Open(options.source, options.fast, error)) {
    std::fprintf(stderr, "salvora-cli: %s\n", Shown(error).c_str());
    return kExitBadInput;
  }
  if (!CheckOutputTargets(session, options, destination) || !session.CheckSavedScans(options.resume))
    return kExitBadInput;
  // Checked before DIR is created, so a refused DIR is never made on the medium being recovered.
  if (int rc = CreateFolders(destination); rc != 0) {
    std::fprintf(stderr, "salvora-cli: cannot create %s: %s\n", Shown(destination).c_str(), ReasonText(rc).c_str());
    return kExitBadInput;
  }
  if (!platform::CanWriteIn(destination)) {
    std::fprintf(stderr, "salvora-cli: cannot write into %s: %s\n", Shown(destination).c_str(),
                 ReasonText(platform::LastError()).c_str());
    return kExitBadInput;
  }
  int rc = session.Scan(options.resume);
  if (rc == ScanCancelled) {
    std::fprintf(stderr, "salvora-cli: scan cancelled; nothing was written\n");
    return kExitCancelled;
  }
  if (rc != 0) {
    std::fprintf(stderr, "salvora-cli: scan failed: %s\n", ReasonInContext(rc).c_str());
    return kExitBadInput;
  }
  std::map<uint64_t, FoundItem> selection;
  const int listing = Select(session, options, selection);

  StagedOutputFile::KeepPartialFiles(options.keepPartial);
  DfxmlReport report(options.source, CommandLine(args));
  RunCounts counts;
  counts.total = int(selection.size());
  const int baseSeparators = CountSeparators(destination);
  bool cancelled = false;
  // Each written file is checked on a second thread while the next ones are copied; files are
  // finished (verdict kept, times set, line printed) in selection order a few files behind.
  ContentCheckQueue checks;
  std::deque<WrittenFile> behind;
  auto finishOldest = [&] {
    WrittenFile& file = behind.front();
    const ContentVerdict verdict =
        !file.checked ? ContentVerdict::NotChecked() : file.kept ? *file.kept : checks.Take();
    FinishFile(file, verdict, options, damaged, counts, report);
    behind.pop_front();
  };
  for (const auto& [key, item] : selection) {
    IFileRecoveryParse& engine = *session.sources()[item.source].engine;
    if (int refused = engine.SetScanCallbacks(nullptr, RecoveryProgress, &counts, 100); refused != 0) {
      std::fprintf(stderr, "salvora-cli: the engine refused the recovery: %s\n", ReasonText(refused).c_str());
      break;
    }
    WrittenFile file = WriteOne(item, engine, destination, baseSeparators, counts);
    if (file.result == ScanCancelled) {
      // The files written before it are finished first, so the lines stay in order.
      while (!behind.empty()) finishOldest();
      if (!file.partial.empty())
        std::printf("%s -> %s: Cancelled (partial)\n", Shown(item.path).c_str(), Shown(file.partial).c_str());
      cancelled = true;
      break;
    }
    // A file written whole whose bytes the scan already checked is not read again.
    if (file.checked && file.result == 0) file.kept = FileCheck(engine, item.record);
    if (file.checked && file.result == 0 && !file.kept) file.kept = CheckOfSameBytes(engine, item.record, file.target);
    if (file.checked && !file.kept) checks.Submit(file.target);
    behind.push_back(std::move(file));
    while (behind.size() > ContentCheckQueue::kFilesBehind) finishOldest();
  }
  while (!behind.empty()) finishOldest();
  for (auto& source : session.sources()) source.engine->SetScanCallbacks(nullptr, nullptr, nullptr, 100);
  PrintCounts(counts, options.onlyIntact);
  int exitCode = cancelled ? kExitCancelled : counts.failed != 0 || listing != 0 ? kExitPartial : kExitOk;
  if (cancelled)
    std::fprintf(stderr, "salvora-cli: recovery cancelled; the %d files written to %s stay there\n",
                 counts.finished - counts.failed, Shown(destination).c_str());
  if (listing != 0)
    std::fprintf(stderr, "salvora-cli: listing incomplete: %s\n", ReasonText(listing).c_str());
  if (!options.reportPath.empty()) {
    if (int written = report.WriteTo(options.reportPath, options.overwrite); written != 0) {
      std::fprintf(stderr, "salvora-cli: cannot write the report %s: %s\n", Shown(options.reportPath).c_str(),
                   ReasonText(written).c_str());
      if (exitCode == kExitOk) exitCode = kExitPartial;
    }
  }
  return exitCode;
}

}  // namespace salvora::cli
