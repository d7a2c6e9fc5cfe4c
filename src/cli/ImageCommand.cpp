#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "cli/ProgressLine.h"
#include "cli/SourceEntry.h"
#include "cli/UserText.h"
#include "cli/SourceArgument.h"
#include "platform/DiskMap.h"
#include "platform/ErrorCodes.h"
#include "platform/PlatformError.h"
#include "platform/RawSource.h"
#include "storage/DiskEnumerator.h"
#include "storage/FormatText.h"
#include "storage/ImageDestination.h"
#include "storage/ImageWriter.h"

namespace salvora::cli {
namespace {

struct Progress {
  ProgressLine line;
  uint64_t lastSectors = 0;
  bool started = false;
};

int OnProgress(void* context, int percent, uint64_t done, uint64_t total, int secondsLeft) {
  auto& p = *static_cast<Progress*>(context);
  if (Interrupted()) return kScanCancelled;
  p.lastSectors = done;
  p.started = true;
  char text[160];
  std::snprintf(text, sizeof text, "%3d%%  %llu / %llu sectors  %s", percent, (unsigned long long)done,
                (unsigned long long)total,
                secondsLeft < 0 ? "estimating time left" : (FormatDuration(secondsLeft) + " left").c_str());
  p.line.Update(percent, text);
  return 0;
}

int Usage(bool asked) {
  std::fprintf(asked ? stdout : stderr,
               "usage: salvora-cli image SOURCE OUT.img [--overwrite]\n"
               "  SOURCE: volume:K (as 'sources' numbers it), disk:N (the whole disk) or\n"
               "          disk:N:START:COUNT (COUNT sectors from START)\n"
               "Copies the source sector by sector into OUT.img. A destination on the source, on a\n"
               "FAT volume too small for the file, or without room is refused; an existing file is\n"
               "kept unless --overwrite is given. Ctrl-C stops the copy; the part copied stays.\n");
  return asked ? kExitOk : kExitBadInput;
}

}  // namespace

int RunImage(const Args& args) {
  std::vector<std::string> positional;
  bool overwrite = false;
  for (const auto& a : args) {
    if (a == "--help" || a == "-h") return Usage(true);
    if (a == "--overwrite")
      overwrite = true;
    else if (a.rfind("--", 0) == 0)
      return std::fprintf(stderr, "salvora-cli image: unknown option '%s'\n", Shown(a).c_str()), kExitBadInput;
    else
      positional.push_back(a);
  }
  if (positional.size() != 2) return Usage(false);
  std::string error;
  auto spec = ParseSourceArgument(positional[0], error);
  if (!spec) return std::fprintf(stderr, "salvora-cli image: %s\n", Shown(error).c_str()), kExitBadInput;
  if (spec->kind == SourceArgument::Kind::Image) {
    std::fprintf(stderr, "salvora-cli image: '%s' is a file; image copies volume:K, disk:N or "
                         "disk:N:START:COUNT (copy a file with cp)\n", Shown(positional[0]).c_str());
    return kExitBadInput;
  }
  VolumeEntry entry;
  if (!ResolveSourceEntry(*spec, entry, error))
    return std::fprintf(stderr, "salvora-cli image: %s\n", Shown(error).c_str()), kExitBadInput;
  const std::string& out = positional[1];

  struct stat st {};
  if (!overwrite && ::stat(out.c_str(), &st) == 0) {
    std::fprintf(stderr, "salvora-cli image: %s exists; give --overwrite to replace it\n", Shown(out).c_str());
    return kExitBadInput;
  }
  const uint64_t imageBytes = entry.length * entry.bytesPerSector;
  DestinationVerdict verdict = CheckImageDestination(GatherDestinationFacts(out, entry), imageBytes);
  if (verdict != DestinationVerdict::Accepted) {
    std::fprintf(stderr, "salvora-cli image: cannot write %s (%s): %s\n", Shown(out).c_str(),
                 FormatSize(int64_t(imageBytes)).c_str(), VerdictText(verdict));
    return kExitBadInput;
  }

  std::fprintf(stderr, "imaging %s sectors %llu+%llu (%s) into %s\n", Shown(entry.diskPath).c_str(),
               (unsigned long long)entry.start, (unsigned long long)entry.length,
               FormatSize(int64_t(imageBytes)).c_str(), Shown(out).c_str());
  Progress progress;
  ResetInterrupt();
  InstallInterruptHandler();
  ImageWriter writer;
  int rc = writer.CreateImage(int(entry.diskNumber), entry.start,
                              entry.kind == VolumeEntry::Kind::WholeDisk ? 0 : entry.length, out, OnProgress,
                              &progress);
  progress.line.Finish();
  if (rc == kScanCancelled) {
    std::fprintf(stderr, "salvora-cli image: cancelled; %s holds only the first %llu of %llu sectors\n",
                 Shown(out).c_str(), (unsigned long long)progress.lastSectors, (unsigned long long)entry.length);
    return kExitCancelled;
  }
  if (rc != 0 && !progress.started) {
    std::fprintf(stderr, "salvora-cli image: cannot copy %s into %s: %s\n", Shown(entry.diskPath).c_str(),
                 Shown(out).c_str(), Reason(rc).c_str());
    return kExitBadInput;
  }
  if (rc != 0) {
    std::fprintf(stderr, "salvora-cli image: failed after %llu of %llu sectors: %s; %s is incomplete\n",
                 (unsigned long long)progress.lastSectors, (unsigned long long)entry.length,
                 Reason(rc).c_str(), Shown(out).c_str());
    return kExitPartial;
  }
  std::printf("%s: %llu sectors of %u bytes (%s)\n", Shown(out).c_str(), (unsigned long long)entry.length,
              entry.bytesPerSector, FormatSize(int64_t(imageBytes)).c_str());
  return kExitOk;
}

}  // namespace salvora::cli
