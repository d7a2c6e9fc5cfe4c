#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/RawSource.h"
#include "storage/RescueMap.h"

namespace salvora {

// Where an image copy stands. secondsLeft is -1 until the first estimate; estimateTrusted is
// false while areas that failed to read are still to be worked through (a dying medium's pace
// there cannot be foreseen).
struct ImageProgress {
  int percent = 0;
  uint64_t sectorsDone = 0;   // rescued or given up as bad
  uint64_t totalSectors = 0;
  int secondsLeft = -1;
  bool estimateTrusted = true;
  uint64_t rescuedBytes = 0;
  uint64_t errorBytes = 0;    // not read (yet): bad, non-trimmed and non-scraped
  size_t errorAreas = 0;
  int pass = 1;               // 1 copy, 2 trim, 3 scrape, 4... retries
  const char* passName = "copying";
};

// Returns 0 to go on; any other value stops the copy and becomes its result.
using ImageProgressCallback = int (*)(void* context, const ImageProgress& progress);

struct RescueOptions {
  std::string mapPath;             // empty: no mapfile
  bool resume = true;              // go on from the mapfile when there is one
  std::string commandLine;         // for the mapfile's heading
  int retries = 0;                 // extra passes over the bad sectors
  uint64_t mapIntervalMs = 30000;  // the mapfile is saved at least this often
};

// Copies a stretch of a source into an image as GNU ddrescue does on a failing medium: a first
// pass copies what reads easily, skipping ahead past an error by a step that doubles from 64 KiB;
// the skipped areas are then trimmed from both edges and scraped sector by sector, and retried.
// Sectors that never read are zeros in the image and bad in the map.
class Rescuer {
 public:
  static constexpr uint32_t kChunkBytes = 65536;
  static constexpr uint64_t kEstimateIntervalMs = 5000;

  // source is read from sourceOffset on; out is the image's descriptor; map covers the image
  // (fresh, or loaded to resume).
  Rescuer(platform::RawSource& source, uint64_t sourceOffset, int out, uint32_t sectorBytes, RescueMap& map,
          const RescueOptions& options, ImageProgressCallback callback, void* context);
  // 0 when every pass has run (bad sectors may remain: see the map), the callback's stop value,
  // kReadFault when the source ends early, or the platform error of a write.
  int Run();

 private:
  enum class Read { Good, Failed, Ended };
  // Reads up to length bytes at pos; good gets the whole sectors read before any failure.
  Read ReadSome(uint64_t pos, size_t length, size_t& good);
  int Store(uint64_t pos, size_t length);
  int MarkBad(uint64_t pos, uint64_t length);
  int CopyPass();
  int TrimPass();
  int SectorPass(char from, int pass, const char* name);
  // One sector (or the part of one at pos): stored as finished, or marked bad. *readOk tells which.
  int Sector(uint64_t pos, uint64_t length, bool* readOk);
  int Report(bool force);
  int SaveMap();

  platform::RawSource& source_;
  uint64_t sourceOffset_;
  int out_;
  uint32_t sector_;
  RescueMap& map_;
  RescueOptions options_;
  ImageProgressCallback callback_;
  void* context_;
  std::vector<uint8_t> buffer_;
  std::vector<uint8_t> zeros_;
  ImageProgress progress_;
  uint64_t startTick_ = 0;
  uint64_t lastEstimate_ = 0;
  uint64_t lastSave_ = 0;
  uint64_t lastReport_ = 0;
  uint64_t doneAtStart_ = 0;
  uint64_t doneAtReport_ = 0;
  bool saveFailed_ = false;
};

}  // namespace salvora
