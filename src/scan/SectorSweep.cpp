#include "scan/SectorSweep.h"

#include <algorithm>

#include "platform/ErrorCodes.h"

namespace salvora {

SectorSweep::SectorSweep(SectorReader& reader, int sectorSize)
    : reader_(reader),
      sectorSize_(sectorSize > 0 ? sectorSize : 512),
      chunkSectors_(std::max<uint32_t>(1, uint32_t(SectorReader::kPieceBytes) / uint32_t(sectorSize_))),
      buffer_(size_t(chunkSectors_) * size_t(sectorSize_)) {}

uint64_t SectorSweep::ProcessChunk(uint64_t first, uint32_t got, const SectorHandler& handler,
                                   bool& cancelled) {
  const size_t size = size_t(sectorSize_);
  uint64_t i = 0;
  while (i < got) {
    uint64_t skip = 1;
    const size_t at = size_t(i) * size;
    int rc = handler(buffer_.data() + at, size_t(got) * size - at, first + i, skip);
    if (rc == kScanCancelled) {
      cancelled = true;
      return i;
    }
    lastResult_ = rc;
    // A handler that asks for no move would stall the sweep.
    i += std::max<uint64_t>(skip, 1);
  }
  return i;
}

int SectorSweep::Run(uint64_t start, uint64_t length, uint64_t offset, const SectorHandler& handler,
                     const ChunkObserver& observer) {
  offset_ = offset;
  uint64_t left = offset < length ? length - offset : 0;
  uint64_t badSkip = 1;
  while (left > 0) {
    const uint32_t n = uint32_t(std::min<uint64_t>(chunkSectors_, left));
    uint32_t got = 0;
    // A failed read is not reported: whatever whole sectors arrived are still examined.
    reader_.ReadSectors(buffer_.data(), n, start + offset_, sectorSize_, got);
    got = std::min(got, n);
    bool cancelled = false;
    const uint64_t consumed = got > 0 ? ProcessChunk(start + offset_, got, handler, cancelled) : 0;
    uint64_t moved = consumed;
    if (!cancelled) {
      if (got == n) {
        moved = std::max<uint64_t>(consumed, n);
        badSkip = 1;
      } else {
        // The read stopped at an unreadable sector: step over it and read on behind it, so the
        // rest of the chunk is still examined. Bad sectors in a row make the steps grow (up to a
        // chunk), so a long bad stretch costs few failing reads.
        const uint64_t step = got > 0 ? 1 : badSkip;
        moved = std::max<uint64_t>(consumed, uint64_t(got) + step);
        badSkip = std::min<uint64_t>(step * 2, chunkSectors_);
        ++unreadableReads_;
      }
    }
    offset_ += moved;
    swept_ += std::min(moved, left);
    left = moved < left ? left - moved : 0;
    if (cancelled) return kScanCancelled;
    if (observer) {
      if (int rc = observer(swept_); rc != 0) return rc;
    }
  }
  return 0;
}

}  // namespace salvora
