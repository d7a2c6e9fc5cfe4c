#include <cinttypes>
#include <cstdint>
#include <cstdio>

#include "cli/Commands.h"
#include "cli/ContentVerification.h"
#include "cli/EngineSession.h"
#include "cli/ImageMapOption.h"
#include "cli/JsonText.h"
#include "cli/RecordFacts.h"
#include "cli/RunOptions.h"
#include "cli/UserText.h"
#include "output/DfxmlReport.h"
#include "platform/PlatformError.h"
#include "recovery/EngineTable.h"
#include "scan/FoundFileIdentity.h"

namespace salvora::cli {
namespace {

const char kUsage[] =
    "usage: salvora-cli scan SOURCE [--fast] [--resume|--fresh] [--types photo,audio,video,all]\n"
    "                        [--ext LIST] [--tree|--json] [--no-verify] [--map FILE] [--force]\n"
    "  SOURCE: an image path, volume:K (as 'sources' numbers it), disk:N (every volume and\n"
    "          free stretch of disk N in turn) or disk:N:START:COUNT (a stretch of sectors)\n"
    "  --fast      read only the file system's own records (otherwise the advanced scan)\n"
    "  --resume    go on with an unfinished advanced scan; --fresh starts again (default: ask\n"
    "              on a terminal, start afresh otherwise)\n"
    "  --types     list only the files of these kinds, as the file-type page chooses them\n"
    "  --ext       list only files with these extensions (jpg,png)\n"
    "  --tree      one line per folder and file (default): type (d folder, f file), state (live,\n"
    "              deleted, lost: rebuilt from metadata found in free space, or carved: found\n"
    "              by its content), content check (intact, or damaged@N when the file's\n"
    "              content breaks at byte N by its format's structure; for types without such a\n"
    "              check ok, or bad when the first sector does not match the extension;\n"
    "              bad-sectors@N when its data touch at byte N an area the image's map calls\n"
    "              unreadable or an Expert Witness chunk that fails its checksum; -\n"
    "              for folders), size, written, created and accessed\n"
    "              times, path. A file several engines found is listed once; carved files are\n"
    "              listed under /Carved files/\n"
    "  --json      one object per record instead, with its state, found_by (the engines\n"
    "              that found it) and verdict (intact, damaged with damagedAt, not-checked)\n"
    "  --force     read an image set with a segment or piece missing or cut (refused\n"
    "              otherwise): what is missing reads as unreadable\n"
    "  --no-verify list without reading files to check their content: only the verdicts the\n"
    "              scan already has (carved files) are shown; the others read as not checked\n"
    "  --map FILE  the GNU ddrescue map of an image made from a failing medium (default: the\n"
    "              image's name with .map for its extension, or with .map added, when present);\n"
    "              its unreadable areas read as bad sectors and the files touching them are marked\n"
    "Exit codes: 0 done, 1 listing incomplete, 2 bad arguments or source, 130 cancelled.\n";

std::string CheckText(const FoundFileRecord& r, uint64_t badSectorsAt, const ContentVerdict& verdict) {
  if (r.IsFolder()) return "-";
  if (badSectorsAt != UINT64_MAX) return "bad-sectors@" + std::to_string(badSectorsAt);
  if (verdict.intact()) return "intact";
  if (verdict.damaged()) return "damaged@" + std::to_string(verdict.damagedAt);
  return r.ContentCheck() ? "ok" : "bad";
}

void PrintItem(const FoundItem& item, uint64_t badSectors, const ContentVerdict& verdict) {
  const FoundFileRecord& r = item.record;
  std::printf("%s %-7s %-3s %12" PRIu64 "  %-19s  %-19s  %-19s  %s\n", r.IsFolder() ? "d" : "f",
              StateName(StateOf(r)), CheckText(r, badSectors, verdict).c_str(), r.FileSize(),
              FormatRecordTime(r.WriteTime()).c_str(), FormatRecordTime(r.CreationTime()).c_str(),
              FormatRecordTime(r.AccessTime()).c_str(), Shown(item.path).c_str());
}

std::string JsonTime(uint64_t fileTime) {
  return fileTime == 0 ? "null" : JsonString(DfxmlReport::IsoTime(fileTime));
}

std::string JsonList(const std::vector<std::string>& items) {
  std::string text = "[";
  for (size_t i = 0; i < items.size(); ++i) text += (i ? ", " : "") + JsonString(items[i]);
  return text + "]";
}

void PrintJsonItem(const FoundItem& item, IFileRecoveryParse& engine, const std::string& source, bool first,
                   uint64_t badSectorsAt, const ContentVerdict& shown) {
  // A file touching an unreadable area is damaged where its data reach it.
  const bool badSectors = badSectorsAt != UINT64_MAX;
  const ContentVerdict verdict = badSectors ? ContentVerdict::DamagedAt(badSectorsAt) : shown;
  const FoundFileRecord& r = item.record;
  uint64_t sector = 0;
  std::string firstSector = FirstDataSector(r, sector) ? std::to_string(sector) : "null";
  std::printf("%s\n  {\"path\": %s, \"name\": %s, \"folder\": %s, \"size\": %" PRIu64
              ", \"written\": %s, \"created\": %s, \"accessed\": %s, \"engine\": %s, \"deleted\": %s, "
              "\"state\": %s, \"found_by\": %s, \"contentCheck\": %s, \"badSectors\": %s, \"firstSector\": %s, "
              "\"entrySector\": %" PRIu64
              ", \"verdict\": %s, \"damagedAt\": %s, \"source\": %s}",
              first ? "" : ",", JsonString(item.path).c_str(), JsonString(std::string(r.Name())).c_str(),
              r.IsFolder() ? "true" : "false", r.FileSize(), JsonTime(r.WriteTime()).c_str(),
              JsonTime(r.CreationTime()).c_str(), JsonTime(r.AccessTime()).c_str(),
              JsonString(EngineNameOf(r)).c_str(), r.IsDeleted() ? "true" : "false",
              JsonString(StateName(StateOf(r))).c_str(), JsonList(FoundByNames(engine, r)).c_str(),
              r.IsFolder() ? "null" : r.ContentCheck() ? "true" : "false", badSectors ? "true" : "false",
              firstSector.c_str(), r.EntrySector(), r.IsFolder() ? "null" : JsonString(verdict.StateWord()).c_str(),
              verdict.damaged() ? std::to_string(verdict.damagedAt).c_str() : "null", JsonString(source).c_str());
}

}  // namespace

int RunScan(const Args& args) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  RunOptions options;
  std::string error;
  if (!ParseRunOptions(args, false, options, error)) {
    std::fprintf(stderr, "salvora-cli: %s (see salvora-cli scan --help)\n", Shown(error).c_str());
    return kExitBadInput;
  }
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
  if (!session.CheckSavedScans(options.resume)) return kExitBadInput;
  int rc = session.Scan(options.resume, !options.noVerify);
  if (rc == ScanCancelled) {
    std::fprintf(stderr, "salvora-cli: scan cancelled; what was found so far is listed\n");
  } else if (rc != 0) {
    std::fprintf(stderr, "salvora-cli: scan failed: %s\n", ReasonInContext(rc).c_str());
    return kExitBadInput;
  }
  std::vector<FoundItem> items;
  int listing = options.searchText.empty() ? session.Walk(items) : session.Search(options.searchText, items);
  size_t files = 0, folders = 0;
  const std::vector<ContentVerdict> verdicts = ListingVerdicts(session, items, !options.noVerify);
  // An image that met unreadable areas while scanning or checking (a chunk failing its checksum)
  // has every file read once to find those touching them, as one with a map's bad areas.
  const std::vector<uint64_t> badSectors = damaged || SourceMetUnreadableAreas(options)
                                               ? FilesTouchingBadSectors(session, items)
                                               : std::vector<uint64_t>(items.size(), UINT64_MAX);
  if (options.json) {
    std::printf("[");
    for (size_t i = 0; i < items.size(); ++i)
      PrintJsonItem(items[i], *session.sources()[items[i].source].engine, session.sources()[items[i].source].label,
                    i == 0, badSectors[i], verdicts[i]);
    std::printf("%s]\n", items.empty() ? "" : "\n");
  } else {
    std::printf("# type state   chk         size  written              created              accessed             path\n");
    size_t heading = SIZE_MAX;
    for (size_t i = 0; i < items.size(); ++i) {
      const FoundItem& item = items[i];
      if (session.sources().size() > 1 && item.source != heading) {
        heading = item.source;
        std::printf("# %s\n", Shown(session.sources()[item.source].label).c_str());
      }
      PrintItem(item, badSectors[i], verdicts[i]);
    }
  }
  for (const auto& item : items) (item.record.IsFolder() ? folders : files)++;
  if (!options.json) std::printf("# %zu files in %zu folders\n", files, folders);
  if (listing != 0) {
    std::fprintf(stderr, "salvora-cli: listing incomplete: %s\n", ReasonText(listing).c_str());
    return kExitPartial;
  }
  return rc == ScanCancelled ? kExitCancelled : kExitOk;
}

}  // namespace salvora::cli
