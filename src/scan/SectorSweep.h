#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "storage/SectorReader.h"

namespace salvora {

// Walks a range of sectors in 64 KiB reads and offers each sector to a handler, which may ask to
// skip ahead (a carved file, a record that spans several sectors). The advanced scan, the deep
// engines' tests and the benchmarks all drive their per-sector work through this one loop, so the
// skip and cancel arithmetic exists once.
class SectorSweep {
 public:
  // One sector of the current chunk. bytesLeft counts the chunk's bytes from this sector on (at
  // least one sector), so a handler that needs more than one sector can see whether they are in
  // memory. skip arrives preset to 1. Returning kScanCancelled stops the sweep at this sector;
  // any other value is an engine result that does not stop it.
  using SectorHandler =
      std::function<int(const uint8_t* sector, size_t bytesLeft, uint64_t address, uint64_t& skip)>;
  // Called after every chunk with the sectors swept so far; a non-zero answer stops the sweep
  // with that value (progress reports and the user's cancel live here).
  using ChunkObserver = std::function<int(uint64_t swept)>;

  SectorSweep(SectorReader& reader, int sectorSize);

  // Sweeps the range of `length` sectors starting at absolute sector `start`, beginning `offset`
  // sectors into it (a resumed scan). Returns 0 when the range was swept to its end, otherwise
  // the value that stopped it (kScanCancelled from the handler, or the observer's answer).
  int Run(uint64_t start, uint64_t length, uint64_t offset, const SectorHandler& handler,
          const ChunkObserver& observer = {});

  // Where the last Run stands within its range: the sector it stopped at, or the range's length
  // (or beyond it, when a skip ran past the end) after a complete sweep.
  uint64_t Offset() const { return offset_; }
  // Sectors swept over all runs, never counting a skip beyond a range's end twice.
  uint64_t Swept() const { return swept_; }
  void SetSwept(uint64_t swept) { swept_ = swept; }
  // The result of the last handler call that was not a cancel.
  int LastResult() const { return lastResult_; }
  uint32_t ChunkSectors() const { return chunkSectors_; }
  // Reads that stopped at an unreadable sector, over all runs.
  uint64_t UnreadableReads() const { return unreadableReads_; }

 private:
  // Offers the `got` sectors read at `first` to the handler; returns how far the handler took
  // the sweep from `first` (at least got; after a cancel, the cancelled sector).
  uint64_t ProcessChunk(uint64_t first, uint32_t got, const SectorHandler& handler, bool& cancelled);

  SectorReader& reader_;
  int sectorSize_;
  uint32_t chunkSectors_;
  std::vector<uint8_t> buffer_;
  uint64_t offset_ = 0;
  uint64_t swept_ = 0;
  int lastResult_ = 0;
  uint64_t unreadableReads_ = 0;
};

}  // namespace salvora
