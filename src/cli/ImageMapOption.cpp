#include "cli/ImageMapOption.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "output/OutputFiles.h"
#include "platform/ErrorCodes.h"
#include "platform/PathChanges.h"
#include "platform/PlatformError.h"
#include "storage/FormatText.h"
#include "storage/ImageMap.h"

namespace salvora::cli {
namespace {

bool IsReadFailure(int code) { return code == kReadFault || code == platform::FromErrno(EIO); }

// Keeps the error an engine reports with the end of a file.
int NoteError(void* userData, int, int, int error, const char*) {
  if (error != 0) *static_cast<int*>(userData) = error;
  return 0;
}

}  // namespace

bool ApplySourceMap(const RunOptions& options, bool& damaged, std::string& error) {
  damaged = false;
  std::string problem;
  auto spec = ParseSourceArgument(options.source, problem);
  const bool image = spec && spec->kind == SourceArgument::Kind::Image;
  if (!image) {
    if (!options.mapPath.empty()) error = "--map goes with an image file as the source";
    return options.mapPath.empty();
  }
  const std::string mapPath = options.mapPath.empty() ? FindMapBeside(spec->path) : options.mapPath;
  if (mapPath.empty()) return true;
  ImageMapFacts facts;
  if (!ApplyImageMap(spec->path, mapPath, facts, error)) return false;
  damaged = facts.unreadableBytes != 0;
  std::fprintf(stderr, "salvora-cli: using the map %s: %zu unreadable areas (%s)\n", mapPath.c_str(),
               facts.unreadableAreas, FormatSize(int64_t(facts.unreadableBytes)).c_str());
  return true;
}

std::vector<bool> FilesTouchingBadSectors(EngineSession& session, const std::vector<FoundItem>& items) {
  std::vector<bool> touching(items.size(), false);
  std::string pattern = (std::filesystem::temp_directory_path() / "salvora-check-XXXXXX").string();
  if (platform::MakeTempFolder(pattern) != 0) return touching;
  const std::string scratch = pattern;
  const std::string target = scratch + "/file";
  const int separators = CountSeparators(scratch);
  for (size_t i = 0; i < items.size(); ++i) {
    const FoundItem& item = items[i];
    if (item.record.IsFolder() || item.record.FileSize() == 0) continue;
    IFileRecoveryParse& engine = *session.sources()[item.source].engine;
    int reported = 0;
    engine.SetScanCallbacks(nullptr, NoteError, &reported, 100);
    const int rc = engine.RecoverFile(&item.record, target, separators);
    touching[i] = IsReadFailure(rc) || IsReadFailure(reported);
    engine.SetScanCallbacks(nullptr, nullptr, nullptr, 100);
    std::error_code ec;
    std::filesystem::remove_all(target, ec);
  }
  std::error_code ec;
  std::filesystem::remove_all(scratch, ec);
  return touching;
}

}  // namespace salvora::cli
