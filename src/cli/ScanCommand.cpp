#include <cinttypes>
#include <cstdio>

#include "cli/Commands.h"
#include "cli/EngineSession.h"
#include "platform/PlatformError.h"

namespace salvora::cli {
namespace {

const char kUsage[] =
    "usage: salvora-cli scan --fast SOURCE\n"
    "  SOURCE: an image path, or disk:N[:START:COUNT]\n"
    "Scans the file system's own records and prints what was found, one line each:\n"
    "  type (d folder, f file), deleted or live, content check (ok, or bad when the first\n"
    "  sector does not match the extension), size, written, created and accessed times, path.\n";

void PrintItem(const FoundItem& item) {
  const FoundFileRecord& r = item.record;
  std::printf("%s %-7s %-3s %12" PRIu64 "  %-19s  %-19s  %-19s  %s\n", r.IsFolder() ? "d" : "f",
              r.IsDeleted() ? "deleted" : "live", r.ContentCheck() ? "ok" : "bad", r.FileSize(),
              FormatRecordTime(r.WriteTime()).c_str(), FormatRecordTime(r.CreationTime()).c_str(),
              FormatRecordTime(r.AccessTime()).c_str(), item.path.c_str());
}

}  // namespace

int RunScan(const Args& args) {
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> options;
  std::string error;
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  if (!ParseOptions(args, {"--fast"}, {}, positional, options, error) || positional.size() != 1) {
    std::fprintf(stderr, "salvora-cli: %s\n%s", error.empty() ? "scan takes one SOURCE" : error.c_str(), kUsage);
    return kExitBadInput;
  }
  const bool fast = !options.empty();
  EngineSession session;
  if (!session.Open(positional[0], fast, error)) {
    std::fprintf(stderr, "salvora-cli: %s\n", error.c_str());
    return kExitBadInput;
  }
  int rc = session.Scan();
  if (rc == ScanCancelled) {
    std::fprintf(stderr, "salvora-cli: scan cancelled; what was found so far is listed\n");
  } else if (rc != 0) {
    std::fprintf(stderr, "salvora-cli: scan failed: %s\n", platform::ErrorText(rc).c_str());
    return kExitBadInput;
  }
  std::vector<FoundItem> items;
  int walk = session.Walk(items);
  size_t files = 0, folders = 0;
  std::printf("# type state   chk         size  written              created              accessed             path\n");
  for (const auto& item : items) {
    PrintItem(item);
    (item.record.IsFolder() ? folders : files)++;
  }
  std::printf("# %zu files in %zu folders\n", files, folders);
  if (walk != 0) {
    std::fprintf(stderr, "salvora-cli: listing incomplete: %s\n", platform::ErrorText(walk).c_str());
    return kExitPartial;
  }
  return rc == ScanCancelled ? kExitCancelled : kExitOk;
}

}  // namespace salvora::cli
