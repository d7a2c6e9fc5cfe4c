#include "carving/SectorByteSource.h"

#include <algorithm>

#include "carving/ScanSizeRule.h"
#include "platform/ErrorCodes.h"

namespace salvora {

SectorByteSource::SectorByteSource(uint64_t limitBytes) : context_(MeasureContext::Instance()) {
  buffer_ = context_.WorkBuffer();
  if (context_.sectorSize <= 0 || !context_.reader || !buffer_) return;
  sector_ = uint64_t(context_.sectorSize);
  const uint64_t total = context_.reader->TotalSectors();
  const uint64_t onSource =
      total > context_.startSector ? (total - context_.startSector) * sector_ : 0;
  limit_ = std::min(limitBytes, onSource);
  // Allocated clusters ahead: read the free ones as one stream.
  if (context_.freeSpace && !context_.freeSpace->Contiguous(context_.startSector, limit_))
    freeSpace_ = context_.freeSpace;
}

bool SectorByteSource::Load(uint64_t sector) {
  if (cancelled_ || faulted_) return false;
  const uint64_t pieceSectors = MeasureContext::kWorkBufferBytes / sector_;
  const uint64_t limitSectors = (limit_ + sector_ - 1) / sector_;
  if (sector >= limitSectors) return false;
  uint64_t at = context_.startSector + sector, run = limitSectors - sector;
  if (freeSpace_ && !freeSpace_->Locate(context_.startSector, sector, at, run)) return false;
  const uint32_t n = uint32_t(std::min({pieceSectors, limitSectors - sector, run}));
  uint32_t got = 0;
  const int rc = context_.reader->ReadSectors(buffer_, n, at, context_.sectorSize, got);
  if (rc != kOk && (got == 0 || got > n)) {
    faulted_ = true;
    return false;
  }
  const uint32_t arrived = rc == kOk ? n : got;
  if (ReportPiece(context_, sector + arrived) != 0) {
    cancelled_ = true;
    return false;
  }
  loadedFirst_ = sector;
  loadedBytes_ = size_t(arrived) * size_t(sector_);
  return true;
}

const uint8_t* SectorByteSource::Window(uint64_t offset, size_t& available) {
  if (sector_ == 0 || offset >= limit_) return nullptr;
  const uint64_t start = loadedFirst_ * sector_;
  if (loadedBytes_ == 0 || offset < start || offset >= start + loadedBytes_) {
    if (!Load(offset / sector_)) return nullptr;
  }
  const uint64_t at = offset - loadedFirst_ * sector_;
  if (at >= loadedBytes_) return nullptr;  // a short read ended before offset
  available = size_t(std::min<uint64_t>(loadedBytes_ - at, limit_ - offset));
  return buffer_ + at;
}

}  // namespace salvora
