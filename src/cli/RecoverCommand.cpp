#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <map>

#include "carving/CheckContent.h"
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
#include "platform/PlatformError.h"
#include "recovery/RecordVerdicts.h"
#include "scan/ContainFailure.h"
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
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? uint64_t(st.st_size) : 0;
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
  ::unlink(written.c_str());
  (verdict.damaged() ? counts.skippedDamaged : counts.skippedUnchecked)++;
  std::printf("%s: Skipped (%s)\n", Shown(item.path).c_str(), verdict.Text().c_str());
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
    std::fprintf(stderr, "salvora-cli: cannot create %s: %s\n", Shown(destination).c_str(), Reason(rc).c_str());
    return kExitBadInput;
  }
  if (::access(destination.c_str(), W_OK | X_OK) != 0) {
    std::fprintf(stderr, "salvora-cli: cannot write into %s: %s\n", Shown(destination).c_str(),
                 Reason(platform::LastError()).c_str());
    return kExitBadInput;
  }
  int rc = session.Scan(options.resume);
  if (rc == ScanCancelled) {
    std::fprintf(stderr, "salvora-cli: scan cancelled; nothing was written\n");
    return kExitCancelled;
  }
  if (rc != 0) {
    std::fprintf(stderr, "salvora-cli: scan failed: %s\n", Reason(rc).c_str());
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
  for (const auto& [key, item] : selection) {
    IFileRecoveryParse& engine = *session.sources()[item.source].engine;
    const std::string name = SanitiseRecoveredName(ShownFileName(item.record.Name(), item.record.IsDeleted()));
    bool shortened = false;
    const std::string target = MakeUniquePath(destination + "/" + CategoryOf(name), name, &shortened);
    counts.fileFinished = false;
    counts.fileError = 0;
    if (int refused = engine.SetScanCallbacks(nullptr, RecoveryProgress, &counts, 100); refused != 0) {
      std::fprintf(stderr, "salvora-cli: the engine refused the recovery: %s\n", Reason(refused).c_str());
      break;
    }
    // One file's failure is that file's, as in the desktop program's recovery worker. No name fits
    // the destination only when even one character and the extension are too long.
    int result = platform::FromErrno(ENAMETOOLONG);
    if (!target.empty())
      result = ContainFailure([&] { return engine.RecoverFile(&item.record, target, baseSeparators); },
                              [] { return kWriteFault; });
    if (result == ScanCancelled) {
      if (const std::string partial = StagedOutputFile::TakeLastPartial(); !partial.empty())
        std::printf("%s -> %s: Cancelled (partial)\n", Shown(item.path).c_str(), Shown(partial).c_str());
      cancelled = true;
      break;
    }
    // An engine that fails without reporting the end of the file still counts it.
    if (!counts.fileFinished) {
      ++counts.finished;
      if (result != 0) ++counts.failed;
    } else if (result == 0) {
      result = counts.fileError;
    } else if (counts.fileError == 0) {
      ++counts.failed;
    }
    // A file cut short stays under its name, and one that could not be finished only as partial.
    const std::string partial = StagedOutputFile::TakeLastPartial();
    const bool underName = result == 0 || result == kDataShort;
    if (!underName && partial.empty()) {
      const bool unreadable = damaged && (result == kReadFault || result == platform::FromErrno(EIO));
      std::printf("%s: %s\n", Shown(item.path).c_str(), unreadable ? kDamagedText : Reason(result).c_str());
      continue;
    }
    // What was written is checked as it lies in the destination (a file cut short is damaged
    // where it ends).
    const ContentVerdict verdict = underName ? CheckFileContent(target) : ContentVerdict::NotChecked();
    if (underName) KeepVerdict(engine, item.record, verdict);
    if (options.onlyIntact && result == 0 && !verdict.intact()) {
      SkipNotIntact(item, target, verdict, counts);
      continue;
    }
    // Its times, and for a carved file a name from its own metadata.
    const FinishedFile done = underName ? FinishRecoveredFile(item.record, target) : FinishedFile{partial};
    const uint64_t size = SizeOf(done.path);
    if (result == kDataShort)
      std::printf("%s -> %s: Damaged (short: %" PRIu64 " of %" PRIu64 " bytes)\n", Shown(item.path).c_str(),
                  Shown(done.path).c_str(), size, item.record.FileSize());
    else if (result != 0)
      std::printf("%s -> %s: %s (partial: %" PRIu64 " of %" PRIu64 " bytes)\n", Shown(item.path).c_str(),
                  Shown(partial).c_str(), Reason(result).c_str(), size, item.record.FileSize());
    else
      std::printf("%s -> %s: Success%s%s\n", Shown(item.path).c_str(), Shown(done.path).c_str(),
                  verdict.damaged() ? (" (" + verdict.Text() + ")").c_str() : "",
                  shortened ? " (name shortened to fit the destination)" : "");
    if (!options.reportPath.empty()) {
      DfxmlReport::FileObject file;
      file.filename = item.path;
      file.outputPath = done.path;
      if (shortened) file.originalName = name;
      file.status = result == 0 ? "" : result == kDataShort ? "short" : "partial";
      file.filesize = size;
      file.deleted = StateOf(item.record) != FindState::Live;
      file.writeTime = item.record.WriteTime();
      file.creationTime = item.record.CreationTime();
      file.accessTime = item.record.AccessTime();
      file.sha256 = Sha256OfFile(done.path);
      file.engine = EngineNameOf(item.record);
      file.state = StateName(StateOf(item.record));
      file.foundBy = FoundByNames(engine, item.record);
      file.timeSource = TimeSourceName(done.timeSource);
      if (underName) file.verdict = verdict;
      if (done.timeSource == TimeSource::Exif) file.writeTime = done.writeTime;
      uint64_t sector = 0;
      // Only a file in one piece has a known run: its clusters follow its first one.
      if (FirstDataSector(item.record, sector) && size > 0 && size <= item.record.ClusterSize())
        file.byteRuns.push_back({0, sector * 512, size});
      report.Add(std::move(file));
    }
  }
  for (auto& source : session.sources()) source.engine->SetScanCallbacks(nullptr, nullptr, nullptr, 100);
  PrintCounts(counts, options.onlyIntact);
  int exitCode = cancelled ? kExitCancelled : counts.failed != 0 || listing != 0 ? kExitPartial : kExitOk;
  if (cancelled)
    std::fprintf(stderr, "salvora-cli: recovery cancelled; the %d files written to %s stay there\n",
                 counts.finished - counts.failed, Shown(destination).c_str());
  if (listing != 0)
    std::fprintf(stderr, "salvora-cli: listing incomplete: %s\n", Reason(listing).c_str());
  if (!options.reportPath.empty()) {
    if (int written = report.WriteTo(options.reportPath, options.overwrite); written != 0) {
      std::fprintf(stderr, "salvora-cli: cannot write the report %s: %s\n", Shown(options.reportPath).c_str(),
                   Reason(written).c_str());
      if (exitCode == kExitOk) exitCode = kExitPartial;
    }
  }
  return exitCode;
}

}  // namespace salvora::cli
