#include "cli/EngineSession.h"

#include "recovery/SavedScan.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <iostream>

#include "cli/BootNotice.h"
#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "cli/ProgressLine.h"
#include "cli/ResumeState.h"
#include "cli/SourceEntry.h"
#include "cli/UserText.h"
#include "output/RecoveredName.h"
#include "platform/CalendarTime.h"
#include "platform/Clock.h"
#include "platform/ConsoleInput.h"
#include "platform/DiskMap.h"
#include "platform/FailureContext.h"
#include "platform/FileStatus.h"
#include "platform/PlatformError.h"
#include "platform/PrivilegedOpen.h"
#include "recovery/EngineFactory.h"
#include "scan/ScanLogCatalogue.h"
#include "storage/DiskEnumerator.h"

namespace salvora::cli {
namespace {

constexpr int kMaxDepth = 256;
// The first image's letter, as the desktop program's image rows count them.
constexpr char16_t kImageLetter = 1001;

struct ScanProgressState {
  ProgressLine line;
  std::string label;
};

int ScanProgress(void* userData, int enginePercent, int weight, int remaining, uint64_t current,
                 uint64_t total, uint64_t found, int) {
  auto* state = static_cast<ScanProgressState*>(userData);
  // The engine's percent covers `weight` percent of the whole bar, as the desktop program shows it.
  const int percent = enginePercent * weight / 100;
  std::string text = "scanning " + state->label + ": " + std::to_string(percent) + "%";
  if (total != 0) text += "  " + std::to_string(current) + " / " + std::to_string(total) + " sectors";
  if (found != 0) text += "  " + std::to_string(found) + " found";
  // A pass that is a small part of the scan (the file-system pass before the sweep) knows only
  // its own time left, not the scan's.
  text += "  " + FormatSecondsLeft(weight < 50 ? -1 : remaining) + " left";
  state->line.Update(percent, text);
  return Interrupted() ? ScanCancelled : 0;
}

// Tells what a cancelled advanced scan kept for the next run.
void ReportSavedScan(IFileRecoveryParse& engine, const std::string& label) {
  const SavedScan saved = SavedScanOf(engine);
  if (!saved.advanced) return;
  if (!saved.started) {
    std::fprintf(stderr, "salvora-cli: cancelled during the file-system pass of %s; nothing was saved\n",
                 Shown(label).c_str());
    return;
  }
  const ResumePosition& at = saved.last;
  std::fprintf(stderr,
               "salvora-cli: saved the scan of %s at sector %llu (%llu sectors swept, %llu found); "
               "run it again with --resume to continue\n",
               Shown(label).c_str(), (unsigned long long)(at.rangeStart + at.rangeSwept),
               (unsigned long long)at.totalSwept, (unsigned long long)at.foundBefore);
}

// Tells where a resumed advanced scan goes on: where it was cancelled, or, after the program was
// stopped without warning, its last checkpoint.
void ReportResumePoint(IFileRecoveryParse& engine, const std::string& label) {
  const SavedScan saved = SavedScanOf(engine);
  if (!saved.advanced) return;
  const ResumePosition at = saved.resumeAt;
  std::fprintf(stderr,
               "salvora-cli: continuing the scan of %s at sector %llu (%llu sectors swept, %llu found "
               "before)\n",
               Shown(label).c_str(), (unsigned long long)(at.rangeStart + at.rangeSwept),
               (unsigned long long)at.totalSwept, (unsigned long long)at.foundBefore);
}

// Asks on the terminal whether to go on with the unfinished scan; without one, starts afresh.
bool AskResume(const std::string& label) {
  if (!platform::IsTerminal(stdin) || !platform::IsTerminal(stderr)) return false;
  std::fprintf(stderr, "An unfinished scan of %s was found. Resume it? [Y/n] ", Shown(label).c_str());
  // Waits in slices: a Ctrl-C that comes just before the read would otherwise be missed by it.
  for (int ready = 0; !Interrupted() && ready == 0;) ready = platform::WaitForInput(200);
  std::string answer;
  if (Interrupted() || !std::getline(std::cin, answer)) return false;
  return answer.empty() || answer[0] == 'y' || answer[0] == 'Y';
}

std::string SlashPath(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  while (!path.empty() && path.front() == '/') path.erase(path.begin());
  return path;
}

}  // namespace

bool EngineSession::Open(const std::string& text, bool fast, std::string& error) {
  auto spec = ParseSourceArgument(text, error);
  if (!spec) return false;
  if (spec->kind == SourceArgument::Kind::Image)
    return AddSource(text, kImageLetter, *spec, fast, error);
  if (spec->kind == SourceArgument::Kind::DiskRange) return AddSource(text, 0, *spec, fast, error);
  if (!CheckSourceKind(*spec, text, error)) return false;

  // volume:K and disk:N come from the machine's own list of sources.
  DiskEnumerator enumerator;
  enumerator.Refresh();
  std::vector<VolumeEntry> entries;
  for (const auto& [disk, list] : enumerator.Map())
    for (const auto& e : list)
      if (spec->kind == SourceArgument::Kind::Volume ? e.Number() == spec->number : int(disk) == spec->number)
        entries.push_back(e);
  if (entries.empty()) {
    error = "no source " + text + " (see salvora-cli sources)";
    return false;
  }
  std::string lastError;
  for (const auto& e : entries) {
    SourceArgument part;
    part.kind = SourceArgument::Kind::DiskRange;
    part.number = int(e.diskNumber);
    part.start = e.start;
    part.count = e.length;
    std::string partError;
    if (!AddSource("volume:" + std::to_string(e.Number()), char16_t(e.Number()), part, fast, partError)) {
      // A disk's free stretches often hold nothing a fast scan reads: go on with the rest.
      if (entries.size() > 1) std::fprintf(stderr, "salvora-cli: skipped %s\n", Shown(partError).c_str());
      lastError = partError;
    }
  }
  if (sources_.empty()) {
    error = lastError;
    return false;
  }
  return true;
}

bool EngineSession::AddSource(std::string label, char16_t letter, const SourceArgument& spec, bool fast,
                              std::string& error) {
  auto& factory = EngineFactory::Instance();
  if (!CheckSourceKind(spec, label, error)) return false;
  ScanSource source;
  source.label = std::move(label);
  source.letter = letter;
  // One open of the source: the factory probes it and hands it to the engine.
  platform::ClearFailure();
  MadeEngine made;
  if (spec.kind == SourceArgument::Kind::Image) {
    made = factory.MakeForImage(spec.path, letter, !fast);
    source.span.diskPath = spec.path;
    source.owner = ScanLogCatalogue::ImageOwner(spec.path);
  } else {
    made = factory.MakeForDisk(spec.number, spec.start, spec.count, letter, !fast);
    platform::DiskDevicePath(spec.number, source.span.diskPath);
    source.span.startByte = spec.start * uint64_t(made.probe.sectorSize);
    source.span.lengthBytes = spec.count * uint64_t(made.probe.sectorSize);
    source.owner = ScanLogCatalogue::PartitionOwner(spec.number, spec.start, spec.count);
  }
  const ProbeResult& probe = made.probe;
  source.engine = std::move(made.engine);
  // The advanced engine looks for its saved scan as it opens.
  source.refusal = ScanLogCatalogue::Instance().TakeRefusal();
  if (probe.error != 0) {
    error = "cannot read " + source.label + ": " +
            platform::OpenErrorText(spec.kind == SourceArgument::Kind::Image ? spec.path : source.span.diskPath,
                                    probe.error) +
            platform::DescribeFailure(probe.error);
    return false;
  }
  const std::string notice = BootNotice(probe, source.label, fast);
  if (!source.engine) {
    if (!notice.empty()) error = "cannot fast-scan: " + notice;
    else if (fast) error = "cannot fast-scan " + source.label + ": it holds no file system the fast scan knows";
    else error = "cannot scan " + source.label + ": the advanced scan is not part of this build yet (use --fast)";
    return false;
  }
  if (!notice.empty()) std::fprintf(stderr, "salvora-cli: warning: %s\n", notice.c_str());
  sources_.push_back(std::move(source));
  return true;
}

bool EngineSession::CheckSavedScans(ResumeMode resume) const {
  bool usable = true;
  for (const auto& source : sources_) {
    if (source.refusal.empty()) continue;
    std::fprintf(stderr, "salvora-cli: %s%s\n", Shown(source.refusal).c_str(),
                 resume == ResumeMode::Resume ? "; nothing of it is read (scan with --fresh to start afresh)" : "");
    usable = usable && resume != ResumeMode::Resume;
  }
  return usable;
}

int EngineSession::Scan(ResumeMode resume, bool verdictsWanted) {
  InstallInterruptHandler();
  // Every question is asked before the first source is read, so a disk of several volumes never
  // stops halfway to ask; a saved scan not wanted is dropped only when its source's turn comes.
  std::vector<std::string> savedNames(sources_.size());
  std::vector<bool> saved(sources_.size(), false), resumeIt(sources_.size(), false);
  for (size_t i = 0; i < sources_.size(); ++i) {
    const auto& source = sources_[i];
    saved[i] = HasResumeState(*source.engine, savedNames[i]);
    if (saved[i]) {
      resumeIt[i] = resume == ResumeMode::Resume || (resume == ResumeMode::Ask && AskResume(source.label));
      // Ctrl-C at a question cancels the run; the saved scans stay for the next one.
      if (Interrupted()) {
        std::fprintf(stderr, "salvora-cli: the saved scan of %s is kept\n", Shown(source.label).c_str());
        return ScanCancelled;
      }
    } else if (resume == ResumeMode::Resume) {
      std::fprintf(stderr, "salvora-cli: no unfinished scan of %s; scanning afresh\n", Shown(source.label).c_str());
    }
  }
  for (size_t i = 0; i < sources_.size(); ++i) {
    auto& source = sources_[i];
    // Each source logs in a folder of its own (the advanced scan opens its own sessions).
    if (!KeepsOwnSessions(*source.engine))
      if (int rc = ScanLogCatalogue::Instance().NewSession(source.owner); rc != 0) return rc;
    if (saved[i] && resumeIt[i])
      ReportResumePoint(*source.engine, source.label);
    else if (saved[i])
      DiscardResumeState(*source.engine);
    if (IScanVerdicts* verdicts = source.engine->Faces().verdicts) verdicts->SetVerdictsWanted(verdictsWanted);
    ScanProgressState state;
    state.label = Shown(source.label);
    source.engine->SetScanCallbacks(ScanProgress, nullptr, &state, 100);
    int rc = source.engine->Scan(resumeIt[i] ? savedNames[i].c_str() : nullptr);
    state.line.Finish();
    source.engine->SetScanCallbacks(nullptr, nullptr, nullptr, 100);
    if (rc == ScanCancelled) ReportSavedScan(*source.engine, source.label);
    if (rc != 0) return rc;
  }
  return 0;
}

int EngineSession::Walk(std::vector<FoundItem>& items) {
  int result = 0;
  for (size_t i = 0; i < sources_.size(); ++i) {
    int rc = WalkFolder(i, nullptr, 0, "/", items);
    if (result == 0) result = rc;
  }
  return result;
}

int EngineSession::WalkFolder(size_t source, const FoundFileRecord* folder, int depth,
                              const std::string& prefix, std::vector<FoundItem>& items) {
  if (depth > kMaxDepth) return 0;
  std::vector<FoundFileRecord> children;
  int result = sources_[source].engine->ListChildren(folder, depth, children);
  for (const auto& child : children) {
    // Files under the name they are shown and saved with; folders as their records name them.
    std::string path = prefix + (child.IsFolder() ? std::string(child.Name()) + "/"
                                                  : ShownFileName(child.Name(), child.IsDeleted()));
    items.push_back({child, path, depth, source});
    if (child.IsFolder()) {
      FoundFileRecord copy = child;
      int rc = WalkFolder(source, &copy, depth + 1, path, items);
      if (result == 0) result = rc;
    }
  }
  return result;
}

int EngineSession::Search(const std::string& text, std::vector<FoundItem>& items) {
  for (size_t i = 0; i < sources_.size(); ++i) {
    std::vector<FoundFileRecord> found;
    // The search answers 1 when it ran and 0 when there was no record file to search: neither
    // is a failure of the listing.
    sources_[i].engine->SearchByExtension(text, found);
    for (const auto& record : found) {
      std::string folder;
      if (sources_[i].engine->GetFullPath(&record, folder, 4096) != 0) folder.clear();
      items.push_back({record, "/" + SlashPath(folder) + ShownFileName(record.Name(), record.IsDeleted()), 0, i});
    }
  }
  return 0;
}

const ScanSource* EngineSession::SourceHolding(const std::string& path) const {
  // An image source counts too: a destination on a mount of the image writes into it.
  for (const auto& source : sources_)
    if (!source.span.diskPath.empty() && platform::SameDevice(path, source.span)) return &source;
  return nullptr;
}

std::vector<std::string> EngineSession::SourcePaths() const {
  std::vector<std::string> paths;
  for (const auto& source : sources_)
    if (!source.span.diskPath.empty()) paths.push_back(source.span.diskPath);
  return paths;
}

uint64_t SelectionKey(const FoundFileRecord& record) {
  return uint64_t(record.DriveLetter()) << 48 | uint64_t(record.EngineKind() & 0xFFFFu) << 32 |
         record.RecordNumber();
}

std::string FormatRecordTime(uint64_t fileTime) {
  if (fileTime == 0) return "-";
  std::tm tm {};
  if (!platform::UtcCalendar(platform::FileTimeToUnix(fileTime), tm)) return "-";
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return text;
}

bool ParseOptions(const Args& args, const std::vector<std::string>& flags,
                  const std::vector<std::string>& valued, std::vector<std::string>& positional,
                  std::vector<std::pair<std::string, std::string>>& options, std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (std::find(flags.begin(), flags.end(), a) != flags.end()) {
      options.emplace_back(a, "");
    } else if (std::find(valued.begin(), valued.end(), a) != valued.end()) {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return false;
      }
      options.emplace_back(a, args[++i]);
    } else if (a.size() > 1 && a[0] == '-') {
      error = "unknown option " + a;
      return false;
    } else {
      positional.push_back(a);
    }
  }
  return true;
}

}  // namespace salvora::cli
