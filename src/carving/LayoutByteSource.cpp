#include "carving/LayoutByteSource.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "carving/SectorRunCopy.h"
#include "platform/ErrorCodes.h"

namespace salvora {

LayoutByteSource::LayoutByteSource(SectorReader& reader, int sectorSize, const FileLayout& layout)
    : reader_(reader), sectorSize_(sectorSize > 0 ? uint64_t(sectorSize) : 0), layout_(layout) {
  if (sectorSize_ > 0 && sectorSize_ <= SectorReader::kPieceBytes)
    buffer_.reset(new (std::nothrow) uint8_t[SectorReader::kPieceBytes]);
}

const uint8_t* LayoutByteSource::Window(uint64_t offset, size_t& available) {
  if (!buffer_ || offset >= Limit()) return nullptr;
  if (offset < loadedAt_ || offset >= loadedAt_ + loadedBytes_) {
    uint64_t at = 0, runLeft = 0;
    if (!layout_.Locate(offset, at, runLeft)) return nullptr;
    const uint64_t head = at % sectorSize_;
    const uint64_t want = std::min<uint64_t>(head + runLeft, SectorReader::kPieceBytes);
    const uint32_t sectors = uint32_t((want + sectorSize_ - 1) / sectorSize_);
    uint32_t got = 0;
    reader_.ReadSectors(buffer_.get(), sectors, at / sectorSize_, int(sectorSize_), got);
    got = std::min(got, sectors);
    const uint64_t usable = std::min<uint64_t>(uint64_t(got) * sectorSize_, want);
    loadedBytes_ = 0;
    if (usable <= head) return nullptr;
    // The buffer starts at the sector holding offset; only the extent's bytes count.
    std::memmove(buffer_.get(), buffer_.get() + head, size_t(usable - head));
    loadedAt_ = offset;
    loadedBytes_ = size_t(usable - head);
  }
  available = loadedBytes_ - size_t(offset - loadedAt_);
  return buffer_.get() + (offset - loadedAt_);
}

int CopyLayout(SectorReader& reader, int sectorSize, const FileLayout& layout,
               const std::function<int(const uint8_t*, size_t)>& sink) {
  if (sectorSize <= 0) return kInvalidParameter;
  const uint64_t sector = uint64_t(sectorSize);
  for (const FileExtent& e : layout.Extents()) {
    // An extent starting inside a sector drops the sector's bytes before it.
    uint64_t skip = e.offset % sector;
    const int rc = CopySectorRun(reader, sectorSize, e.offset / sector, skip + e.length,
                                 [&](const uint8_t* data, size_t length) {
                                   const size_t drop = size_t(std::min<uint64_t>(skip, length));
                                   skip -= drop;
                                   return length > drop ? sink(data + drop, length - drop) : 0;
                                 });
    if (rc != kOk) return rc;
  }
  return kOk;
}

}  // namespace salvora
