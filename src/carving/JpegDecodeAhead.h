#pragma once

#include <condition_variable>
#include <functional>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "carving/SectorRange.h"

#include "carving/StructureWalk.h"
#include "scan/FileLayout.h"
#include "scan/FileSystemFiles.h"
#include "storage/SectorReader.h"

namespace salvora {

// Decodes the JPEGs the sweep is about to carve, on every core, while the sweep goes on reading.
// A scout thread walks the sweep's ranges ahead of it, measures each JPEG that starts on a sector
// as carving does (its segments to the end marker) and queues its decode; workers decode the
// queue, nearest first. When carving meets the JPEG it asks for the decode of exactly the bytes it
// measured and gets it, waiting if the decode is under way; a JPEG the scout measured otherwise,
// or has not reached, is decoded by carving itself. Either way the answer is that of DecodeJpeg on
// the same bytes, so carving decides as it would alone. The scout stops at the first read that
// fails.
class JpegDecodeAhead {
 public:
  using Range = SectorRange;
  // Decodes waiting or done that carving has not asked for: enough to keep every core busy while
  // the sweep searches a broken photo for its second piece, few enough that the scout stays near.
  static constexpr size_t kQueued = 24;
  // How far the scout reads beyond the last JPEG carving asked for.
  static constexpr uint64_t kLeadBytes = uint64_t(256) << 20;

  // Carving's search for the pieces of a broken JPEG measured in one run (`length` bytes from
  // `sector`): nullopt when it does not search, else its answer (the pieces, or none) with the
  // decode of the plain file in `plainDecode`. Run on the workers with a reader of their own.
  using Search = std::function<std::optional<std::optional<FileLayout>>(SectorReader& reader, uint64_t sector,
                                                                          uint64_t length, WalkResult& plainDecode)>;
  // What was made ahead for a JPEG: its decode, or when that found it broken and a search was
  // given, the search's answer and its decode of the plain file.
  struct Answer {
    WalkResult decode = WalkResult::None();
    bool searched = false;
    std::optional<FileLayout> pieces;
  };

  // reader is shared (positioned reads); ranges in sweep order; workers 0: one per core; placed:
  // photos carving takes as the file system places them when it measures them so, not decoded
  // here (nullptr: none; not owned); search: how carving looks for a broken photo's pieces
  // (none: carving searches itself).
  JpegDecodeAhead(const SectorReader& reader, int sectorSize, std::vector<Range> ranges,
                  unsigned workers = 0, const FileSystemFiles* placed = nullptr, Search search = {});
  ~JpegDecodeAhead();  // stops the scout and waits for the decodes under way
  JpegDecodeAhead(const JpegDecodeAhead&) = delete;
  JpegDecodeAhead& operator=(const JpegDecodeAhead&) = delete;

  // What was made ahead for the `length` bytes from `sector` on, if it was made for exactly them;
  // nullopt when carving must decode them itself. Carving asks in increasing sector order: what
  // lies before `sector` is dropped, and the scout moves on past it.
  std::optional<Answer> Take(uint64_t sector, uint64_t length);
  // Waits until the scout has gone past `sector` or has nothing left to read.
  void WaitForScout(uint64_t sector);

 private:
  struct Decode {
    uint64_t length = 0;
    bool started = false;
    bool done = false;
    bool failed = false;   // the decode could not be made: carving makes it
    bool dropped = false;  // carving went past it while it was decoded
    Answer answer;
  };

  void Scout();
  // Looks for JPEGs from sector `at` of one range; returns false when told to stop.
  bool ScoutRange(SectorReader& reader, const Range& range);
  // The length carving would measure for a JPEG starting at `sector`, 0 when none.
  uint64_t Measure(SectorReader& reader, uint64_t sector);
  // Waits for room in the queue; the sector the scout should go on from (carving may have passed
  // `at`), or nullopt when told to stop.
  std::optional<uint64_t> WaitForRoom(uint64_t at);
  bool Queue(uint64_t sector, uint64_t length);
  void Work();
  WalkResult DecodeAt(SectorReader& reader, uint64_t sector, uint64_t length) const;
  // The decode, and for a broken photo the search.
  Answer Make(SectorReader& reader, uint64_t sector, uint64_t length) const;
  void DropBefore(uint64_t sector);

  SectorReader reader_;
  int sectorSize_;
  std::vector<Range> ranges_;
  const FileSystemFiles* placed_;
  Search search_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<uint64_t, Decode> decodes_;  // by first sector
  uint64_t askedAt_ = 0;  // the last sector carving asked for; nothing before it is queued
  bool asked_ = false;
  uint64_t scoutAt_ = 0;  // the sector the scout reads next
  bool scoutDone_ = false;
  bool stopping_ = false;
  std::thread scout_;
  std::vector<std::thread> workers_;
};

}  // namespace salvora
