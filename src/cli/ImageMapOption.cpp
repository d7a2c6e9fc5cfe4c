#include "cli/ImageMapOption.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "output/OutputFiles.h"
#include "output/StagedOutputFile.h"
#include "platform/ContainerImage.h"
#include "platform/UnreadableAreas.h"
#include "platform/ErrorCodes.h"
#include "platform/PathChanges.h"
#include "platform/PlatformError.h"
#include "storage/FormatText.h"
#include "storage/ImageMap.h"

namespace salvora::cli {
namespace {

// Keeps the error an engine reports with the end of a file.
int NoteError(void* userData, int, int, int error, const char*) {
  if (error != 0) *static_cast<int*>(userData) = error;
  return 0;
}

// The image path the source names; "" for any other source.
std::string ImagePathOf(const RunOptions& options) {
  std::string problem;
  auto spec = ParseSourceArgument(options.source, problem);
  return spec && spec->kind == SourceArgument::Kind::Image ? spec->path : std::string();
}

// Refuses an incomplete container unless forced, which reads it with its gaps unreadable.
bool CheckContainer(const RunOptions& options, const std::string& path, bool& damaged, std::string& error) {
  const std::string problem = platform::ContainerImageProblem(path);
  if (problem.empty()) return true;
  if (!options.force) {
    error = "the image is incomplete: " + problem + " (--force reads what is there)";
    return false;
  }
  platform::AllowIncompleteContainers(true);
  damaged = true;
  std::fprintf(stderr, "salvora-cli: the image is incomplete: %s; what is missing reads as unreadable\n",
               problem.c_str());
  return true;
}

}  // namespace

bool IsReadFailure(int code) { return code == kReadFault || code == platform::FromErrno(EIO); }

std::string DamagedText(uint64_t at) {
  return (at == UINT64_MAX ? std::string("Damaged") : "Damaged at byte " + std::to_string(at)) +
         ": its data touch unreadable sectors of the image";
}

bool SourceMetUnreadableAreas(const RunOptions& options) {
  const std::string path = ImagePathOf(options);
  return !path.empty() && !platform::UnreadableAreasOf(path).empty();
}

bool ApplySourceMap(const RunOptions& options, bool& damaged, std::string& error) {
  damaged = false;
  const std::string path = ImagePathOf(options);
  if (path.empty()) {
    if (!options.mapPath.empty()) error = "--map goes with an image file as the source";
    return options.mapPath.empty();
  }
  if (!CheckContainer(options, path, damaged, error)) return false;
  const std::string mapPath = options.mapPath.empty() ? FindMapBeside(path) : options.mapPath;
  if (mapPath.empty()) return true;
  ImageMapFacts facts;
  if (!ApplyImageMap(path, mapPath, facts, error)) return false;
  damaged = damaged || facts.unreadableBytes != 0;
  std::fprintf(stderr, "salvora-cli: using the map %s: %zu unreadable areas (%s)\n", mapPath.c_str(),
               facts.unreadableAreas, FormatSize(int64_t(facts.unreadableBytes)).c_str());
  return true;
}

std::vector<uint64_t> FilesTouchingBadSectors(EngineSession& session, const std::vector<FoundItem>& items) {
  std::vector<uint64_t> touching(items.size(), UINT64_MAX);
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
    // Where the copy stopped is where the unreadable area starts in the file's data.
    const uint64_t stoppedAt = StagedOutputFile::TakeLastAbandonedBytes();
    if (IsReadFailure(rc) || IsReadFailure(reported)) touching[i] = stoppedAt == UINT64_MAX ? 0 : stoppedAt;
    engine.SetScanCallbacks(nullptr, nullptr, nullptr, 100);
    std::error_code ec;
    std::filesystem::remove_all(target, ec);
  }
  std::error_code ec;
  std::filesystem::remove_all(scratch, ec);
  return touching;
}

}  // namespace salvora::cli
