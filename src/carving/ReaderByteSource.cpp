#include "carving/ReaderByteSource.h"

#include <algorithm>

#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

constexpr size_t kPieceBytes = 65536;

}  // namespace

ReaderByteSource::ReaderByteSource(SectorReader& reader, int sectorSize, uint64_t firstSector,
                                   uint64_t limitBytes)
    : reader_(reader), sectorSize_(sectorSize > 0 ? uint64_t(sectorSize) : 0), firstSector_(firstSector) {
  if (sectorSize_ == 0 || sectorSize_ > kPieceBytes) return;
  const uint64_t total = reader.TotalSectors();
  const uint64_t onSource = total > firstSector ? (total - firstSector) * sectorSize_ : 0;
  limit_ = std::min(limitBytes, onSource);
  buffer_.resize(kPieceBytes);
}

bool ReaderByteSource::Load(uint64_t sector) {
  const uint64_t limitSectors = (limit_ + sectorSize_ - 1) / sectorSize_;
  if (sector >= limitSectors) return false;
  const uint32_t n = uint32_t(std::min<uint64_t>(kPieceBytes / sectorSize_, limitSectors - sector));
  uint32_t got = 0;
  const int rc = reader_.ReadSectors(buffer_.data(), n, firstSector_ + sector, int(sectorSize_), got);
  const uint32_t arrived = rc == kOk ? n : std::min(got, n);
  if (arrived == 0) return false;
  loadedFirst_ = sector;
  loadedBytes_ = size_t(arrived) * size_t(sectorSize_);
  return true;
}

const uint8_t* ReaderByteSource::Window(uint64_t offset, size_t& available) {
  if (sectorSize_ == 0 || offset >= limit_) return nullptr;
  const uint64_t start = loadedFirst_ * sectorSize_;
  if (loadedBytes_ == 0 || offset < start || offset >= start + loadedBytes_) {
    if (!Load(offset / sectorSize_)) return nullptr;
  }
  const uint64_t at = offset - loadedFirst_ * sectorSize_;
  if (at >= loadedBytes_) return nullptr;  // a short read ended before offset
  available = size_t(std::min<uint64_t>(loadedBytes_ - at, limit_ - offset));
  return buffer_.data() + at;
}

}  // namespace salvora
