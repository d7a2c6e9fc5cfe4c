#include <algorithm>
#include <utility>
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
#include "platform/FileStatus.h"
#include "platform/PlatformError.h"
#include "platform/RawSource.h"
#include "platform/SourceLayers.h"
#include "storage/DiskEnumerator.h"
#include "storage/FormatText.h"
#include "storage/ImageDestination.h"
#include "storage/ImageWriter.h"
#include "storage/OutputTarget.h"

namespace salvora::cli {
namespace {

struct Progress {
  ProgressLine line;
  uint64_t lastSectors = 0;
  bool started = false;
};

int OnProgress(void* context, const ImageProgress& p) {
  auto& state = *static_cast<Progress*>(context);
  if (Interrupted()) return kScanCancelled;
  state.lastSectors = p.sectorsDone;
  state.started = true;
  std::string left = p.secondsLeft < 0 ? "estimating time left" : FormatDuration(p.secondsLeft) + " left";
  if (p.secondsLeft >= 0 && !p.estimateTrusted) left = "about " + left + " (uncertain: bad areas remain)";
  char text[240];
  std::snprintf(text, sizeof text, "%3d%%  %s  rescued %s  bad areas %zu (%s)  %s", p.percent, p.passName,
                FormatSize(int64_t(p.rescuedBytes)).c_str(), p.errorAreas, FormatSize(int64_t(p.errorBytes)).c_str(),
                left.c_str());
  state.line.Update(p.percent, text);
  return 0;
}

int Usage(bool asked) {
  std::fprintf(asked ? stdout : stderr,
               "usage: salvora-cli image SOURCE OUT.img [--map OUT.map] [--retries N] [--map-interval SECONDS]\n"
               "                         [--overwrite]\n"
               "  SOURCE: volume:K (as 'sources' numbers it), disk:N (the whole disk),\n"
               "          disk:N:START:COUNT (COUNT sectors from START) or a block device (/dev/sdb1)\n"
               "Copies the source sector by sector into OUT.img, working around sectors that cannot be\n"
               "read as GNU ddrescue does (copy, trim, scrape, then N retries); those stay zeros.\n"
               "  --map       keep a GNU ddrescue mapfile (saved every --map-interval seconds, default 30,\n"
               "              and at the end); run the same command again to resume from it\n"
               "  --overwrite replace an existing OUT.img and start afresh, ignoring an existing map\n"
               "A destination on the source, on a FAT volume too small for the file, or without room\n"
               "is refused. Ctrl-C stops the copy; the part copied stays.\n"
               "Exit codes: 0 every sector copied, 1 some sectors unreadable (or failed), 2 bad\n"
               "arguments, 130 cancelled.\n");
  return asked ? kExitOk : kExitBadInput;
}

bool ParseCount(const std::string& text, uint64_t limit, uint64_t& value) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  value = std::stoull(text);
  return value <= limit;
}

std::string JoinedCommandLine(const Args& args) {
  std::string line = "salvora-cli image";
  for (const auto& a : args) line += " " + a;
  return line;
}

// The entry SOURCE stands for: volume:K and disk:N as listed, or a block device named by its
// path (/dev/sdb, /dev/sdb1) read as a disk of its own. Files are refused: they are copied with cp.
bool ResolveImageSource(const SourceArgument& spec, const std::string& text, VolumeEntry& entry, std::string& error) {
  if (spec.kind != SourceArgument::Kind::Image) return ResolveSourceEntry(spec, entry, error);
  const platform::PathKind kind = platform::KindOfPath(spec.path);
  // A missing path is left to the open, which says why.
  if (kind == platform::PathKind::BlockDevice || kind == platform::PathKind::Missing)
    return ResolveDeviceEntry(spec.path, entry, error);
  error = "'" + text + "' is " + platform::PathKindText(kind) + "; image copies a block device (/dev/sdb, " +
          "/dev/sdb1), volume:K, disk:N or disk:N:START:COUNT" +
          (kind == platform::PathKind::Regular ? " (copy a file with cp)" : "");
  return false;
}

}  // namespace

int RunImage(const Args& args) {
  std::vector<std::string> positional;
  bool overwrite = false;
  RescueOptions rescue;
  rescue.commandLine = JoinedCommandLine(args);
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") return Usage(true);
    const bool valued = a == "--map" || a == "--retries" || a == "--map-interval";
    if (valued && i + 1 == args.size())
      return std::fprintf(stderr, "salvora-cli image: %s needs a value\n", a.c_str()), kExitBadInput;
    uint64_t number = 0;
    if (a == "--overwrite") {
      overwrite = true;
    } else if (a == "--map") {
      rescue.mapPath = args[++i];
    } else if (a == "--retries" || a == "--map-interval") {
      if (!ParseCount(args[++i], a == "--retries" ? 100 : 86400, number))
        return std::fprintf(stderr, "salvora-cli image: bad %s value '%s'\n", Shown(a).c_str(), Shown(args[i]).c_str()), kExitBadInput;
      if (a == "--retries")
        rescue.retries = int(number);
      else
        rescue.mapIntervalMs = number * 1000;
    } else if (a.rfind("--", 0) == 0)
      return std::fprintf(stderr, "salvora-cli image: unknown option '%s'\n", Shown(a).c_str()), kExitBadInput;
    else
      positional.push_back(a);
  }
  if (positional.size() != 2) return Usage(false);
  std::string error;
  auto spec = ParseSourceArgument(positional[0], error);
  if (!spec) return std::fprintf(stderr, "salvora-cli image: %s\n", Shown(error).c_str()), kExitBadInput;
  VolumeEntry entry;
  if (!ResolveImageSource(*spec, positional[0], entry, error))
    return std::fprintf(stderr, "salvora-cli image: %s\n", Shown(error).c_str()), kExitBadInput;
  const std::string& out = positional[1];

  // Checked by what the paths are, not by how they are spelt: no flag lets the copy land on its source.
  for (const auto& [path, what] : {std::pair{out, "image"}, std::pair{rescue.mapPath, "map"}}) {
    if (path.empty()) continue;
    if (std::string refusal = OutputFileRefusal(path, what, {entry.diskPath}); !refusal.empty())
      return std::fprintf(stderr, "salvora-cli image: %s\n", Shown(refusal).c_str()), kExitBadInput;
  }
  platform::FileStatus st;
  const bool haveMap = !rescue.mapPath.empty() && platform::StatPath(Shown(rescue.mapPath), st) == 0;
  rescue.resume = haveMap && !overwrite;
  if (!rescue.mapPath.empty() && rescue.mapPath == out) {
    std::fprintf(stderr, "salvora-cli image: the map and the image cannot be one file\n");
    return kExitBadInput;
  }
  // An image with its map is resumed, not replaced.
  if (!overwrite && !rescue.resume && platform::StatPath(Shown(out), st) == 0) {
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

  if (rescue.resume)
    std::fprintf(stderr, "resuming from %s\n", Shown(rescue.mapPath).c_str());
  std::fprintf(stderr, "imaging %s sectors %llu+%llu (%s) into %s\n", Shown(entry.diskPath).c_str(),
               (unsigned long long)entry.start, (unsigned long long)entry.length,
               FormatSize(int64_t(imageBytes)).c_str(), Shown(out).c_str());
  Progress progress;
  ResetInterrupt();
  InstallInterruptHandler();
  ImageWriter writer;
  writer.SetRescueOptions(rescue);
  int rc = writer.CreateImage(entry.diskPath, entry.start,
                              entry.kind == VolumeEntry::Kind::WholeDisk ? 0 : entry.length, out, OnProgress,
                              &progress);
  progress.line.Finish();
  if (rc == kInvalidParameter && !writer.Problem().empty()) {
    std::fprintf(stderr, "salvora-cli image: cannot resume from %s: %s (give --overwrite to start afresh)\n",
                 Shown(rescue.mapPath).c_str(), writer.Problem().c_str());
    return kExitBadInput;
  }
  if (rc == kScanCancelled) {
    if (!rescue.mapPath.empty())
      std::fprintf(stderr, "salvora-cli image: cancelled; run the same command to resume from %s\n",
                   Shown(rescue.mapPath).c_str());
    else
      std::fprintf(stderr, "salvora-cli image: cancelled; %s holds only %llu of %llu sectors\n", Shown(out).c_str(),
                   (unsigned long long)progress.lastSectors, (unsigned long long)entry.length);
    return kExitCancelled;
  }
  if (rc != 0 && !progress.started) {
    std::fprintf(stderr, "salvora-cli image: cannot copy %s into %s: %s\n", Shown(entry.diskPath).c_str(),
                 Shown(out).c_str(), ReasonText(rc).c_str());
    return kExitBadInput;
  }
  if (rc != 0) {
    std::fprintf(stderr, "salvora-cli image: failed after %llu of %llu sectors: %s; %s is incomplete\n",
                 (unsigned long long)progress.lastSectors, (unsigned long long)entry.length,
                 ReasonText(rc).c_str(), Shown(out).c_str());
    return kExitPartial;
  }
  std::printf("%s: %llu sectors of %u bytes (%s)\n", Shown(out).c_str(), (unsigned long long)entry.length,
              entry.bytesPerSector, FormatSize(int64_t(imageBytes)).c_str());
  const RescueMap& map = writer.Map();
  if (map.ErrorBytes() == 0) return kExitOk;
  std::printf("%zu bad areas, %llu bytes unreadable (zeros in the image)%s%s\n", map.ErrorAreas(),
              (unsigned long long)map.ErrorBytes(), rescue.mapPath.empty() ? "" : "; listed in ",
              Shown(rescue.mapPath).c_str());
  return kExitPartial;
}

}  // namespace salvora::cli
