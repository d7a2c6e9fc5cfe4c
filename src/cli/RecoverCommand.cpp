#include <sys/stat.h>

#include <cinttypes>
#include <cstdio>

#include "cli/Commands.h"
#include "cli/EngineSession.h"
#include "cli/Interrupt.h"
#include "output/FileCategory.h"
#include "output/OutputFiles.h"
#include "output/RecoveredName.h"
#include "output/UniquePath.h"
#include "platform/PlatformError.h"

namespace salvora::cli {
namespace {

const char kUsage[] =
    "usage: salvora-cli recover --fast SOURCE --to DIR\n"
    "  SOURCE: an image path, or disk:N[:START:COUNT]\n"
    "Scans SOURCE and writes every found file into DIR/<category>/ (photo, audio, video,\n"
    "document, archive, others) under a name that never replaces an existing file, printing one\n"
    "line per file: ok, short (the data ran out before the recorded size) or FAILED.\n";

// The result of the file being written, as the engine reports it.
struct FileOutcome {
  int error = 0;
  bool finished = false;
};

int RecoveryProgress(void* userData, int percent, int, int error, const char*) {
  auto* outcome = static_cast<FileOutcome*>(userData);
  if (percent >= 100) {
    outcome->finished = true;
    if (error != 0) outcome->error = error;
  }
  return Interrupted() ? ScanCancelled : 0;
}

uint64_t SizeOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? uint64_t(st.st_size) : 0;
}

}  // namespace

int RunRecover(const Args& args) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> options;
  std::string error, destination;
  bool fast = false;
  bool parsed = ParseOptions(args, {"--fast"}, {"--to"}, positional, options, error);
  for (const auto& [name, value] : options) {
    if (name == "--fast") fast = true;
    if (name == "--to") destination = value;
  }
  if (!parsed || positional.size() != 1 || destination.empty()) {
    std::fprintf(stderr, "salvora-cli: %s\n%s",
                 !error.empty() ? error.c_str() : "recover takes one SOURCE and --to DIR", kUsage);
    return kExitBadInput;
  }
  while (destination.size() > 1 && destination.back() == '/') destination.pop_back();
  if (int rc = CreateFolders(destination); rc != 0) {
    std::fprintf(stderr, "salvora-cli: cannot create %s: %s\n", destination.c_str(),
                 platform::ErrorText(rc).c_str());
    return kExitBadInput;
  }
  EngineSession session;
  if (!session.Open(positional[0], fast, error)) {
    std::fprintf(stderr, "salvora-cli: %s\n", error.c_str());
    return kExitBadInput;
  }
  int rc = session.Scan();
  if (rc == ScanCancelled) return kExitCancelled;
  if (rc != 0) {
    std::fprintf(stderr, "salvora-cli: scan failed: %s\n", platform::ErrorText(rc).c_str());
    return kExitBadInput;
  }
  std::vector<FoundItem> items;
  int walk = session.Walk(items);

  size_t written = 0, failed = 0;
  const int baseSeparators = CountSeparators(destination);
  for (const auto& item : items) {
    if (item.record.IsFolder()) continue;
    const std::string name = SanitiseRecoveredName(item.record.Name());
    const std::string target =
        MakeUniquePath(destination + "/" + CategoryOf(name) + "/" + name);
    FileOutcome outcome;
    session.engine().SetScanCallbacks(nullptr, RecoveryProgress, &outcome, 100);
    int result = target.empty() ? kInvalidParameter
                                : session.engine().RecoverFile(&item.record, target, baseSeparators);
    if (result == ScanCancelled) {
      std::printf("cancelled %s\n", item.path.c_str());
      std::printf("# %zu written, %zu failed, cancelled\n", written, failed);
      return kExitCancelled;
    }
    if (result == 0 && outcome.error != 0) result = outcome.error;
    if (result != 0) {
      ++failed;
      std::printf("FAILED (%s) %s\n", platform::ErrorText(result).c_str(), item.path.c_str());
      continue;
    }
    ++written;
    const uint64_t size = SizeOf(target);
    if (size < item.record.FileSize())
      std::printf("short (%" PRIu64 " of %" PRIu64 " bytes) %s -> %s\n", size, item.record.FileSize(),
                  item.path.c_str(), target.c_str());
    else
      std::printf("ok %s -> %s\n", item.path.c_str(), target.c_str());
  }
  std::printf("# %zu written, %zu failed\n", written, failed);
  if (walk != 0) std::fprintf(stderr, "salvora-cli: listing incomplete: %s\n", platform::ErrorText(walk).c_str());
  return failed != 0 || walk != 0 ? kExitPartial : kExitOk;
}

}  // namespace salvora::cli
