#include "scan/SectorSweep.h"

#include <algorithm>

#include "platform/ErrorCodes.h"

namespace salvora {

SectorSweep::SectorSweep(SectorReader& reader, int sectorSize)
    : reader_(reader),
      sectorSize_(sectorSize > 0 ? sectorSize : 512),
      chunkSectors_(std::max<uint32_t>(1, uint32_t(SectorReader::kPieceBytes) / uint32_t(sectorSize_))),
      buffer_(size_t(chunkSectors_) * size_t(sectorSize_)) {}

int64_t SectorSweep::ProcessChunk(uint64_t first, uint32_t n, uint32_t got,
                                  const SectorHandler& handler, bool& cancelled) {
  const size_t size = size_t(sectorSize_);
  uint64_t i = 0;
  while (i < got) {
    uint64_t skip = 1;
    const size_t at = size_t(i) * size;
    int rc = handler(buffer_.data() + at, size_t(got) * size - at, first + i, skip);
    if (rc == kScanCancelled) {
      cancelled = true;
      return -int64_t(n - i);
    }
    lastResult_ = rc;
    // A handler that asks for no move would stall the sweep.
    i += std::max<uint64_t>(skip, 1);
  }
  return i > n ? int64_t(i - n) : 0;
}

int SectorSweep::Run(uint64_t start, uint64_t length, uint64_t offset, const SectorHandler& handler,
                     const ChunkObserver& observer) {
  offset_ = offset;
  uint64_t left = offset < length ? length - offset : 0;
  while (left > 0) {
    const uint32_t n = uint32_t(std::min<uint64_t>(chunkSectors_, left));
    uint32_t got = 0;
    // A failed read is not reported: whatever whole sectors arrived are still examined.
    reader_.ReadSectors(buffer_.data(), n, start + offset_, sectorSize_, got);
    bool cancelled = false;
    int64_t k = got > 0 ? ProcessChunk(start + offset_, n, std::min(got, n), handler, cancelled) : 0;
    const uint64_t moved = uint64_t(int64_t(n) + k);
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
