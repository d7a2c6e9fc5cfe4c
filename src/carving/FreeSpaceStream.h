#pragma once

#include <cstdint>
#include <vector>

#include "carving/SectorRange.h"
#include "scan/FileLayout.h"

namespace salvora {

// The free clusters of a volume whose allocation map is known, seen as one stream with the
// allocated clusters skipped: a deleted file written around live files is contiguous in it. The
// carving engine reads a broken JPEG's continuation there, and maps what it finds back to the
// source as a layout.
class FreeSpaceStream {
 public:
  using Range = SectorRange;

  FreeSpaceStream() = default;
  // ranges: the free sectors in increasing order, not overlapping (others are dropped).
  FreeSpaceStream(std::vector<Range> ranges, int sectorSize);

  bool Known() const { return !ranges_.empty(); }
  // Whether the `bytes` bytes from sector `first` on lie in one free range: then the stream and
  // the source agree there. Without a map they always do.
  bool Contiguous(uint64_t first, uint64_t bytes) const;
  // Up to `bytes` bytes of the stream from sector `first` on, as extents of the source (fewer at
  // the map's end); empty when `first` is not free.
  FileLayout From(uint64_t first, uint64_t bytes) const;
  // The source sector of the stream's sector `at` counted from sector `first` on, and how many
  // sectors follow it in the same free range; false past the map's end or when `first` is not free.
  bool Locate(uint64_t first, uint64_t at, uint64_t& sector, uint64_t& runSectors) const;

 private:
  // The range holding sector s, or ranges_.size().
  size_t RangeOf(uint64_t s) const;

  std::vector<Range> ranges_;
  std::vector<uint64_t> before_;  // free sectors in the ranges before each one
  uint64_t sectorSize_ = 0;
};

// The `length` bytes of `layout` from file offset `offset` on, as extents of the source; empty
// when they run past its end.
FileLayout SliceOf(const FileLayout& layout, uint64_t offset, uint64_t length);

}  // namespace salvora
