#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "carving/MeasureContext.h"
#include "platform/RawSource.h"
#include "storage/SectorReader.h"

namespace salvora::test {

// A memory medium holding files at chosen sectors, read through a SectorReader as a scan would.
class PlantedMedium {
 public:
  explicit PlantedMedium(uint64_t sectors, int sectorSize = 512)
      : sectorSize_(sectorSize), bytes_(size_t(sectors) * size_t(sectorSize), 0) {}

  void Plant(uint64_t sector, const std::vector<uint8_t>& data) {
    const size_t at = size_t(sector) * size_t(sectorSize_);
    if (at + data.size() > bytes_.size()) bytes_.resize(at + data.size() + size_t(sectorSize_), 0);
    std::copy(data.begin(), data.end(), bytes_.begin() + long(at));
  }
  const uint8_t* SectorAt(uint64_t sector) const { return bytes_.data() + size_t(sector) * size_t(sectorSize_); }
  std::vector<uint8_t>& bytes() { return bytes_; }
  int sectorSize() const { return sectorSize_; }

  // Attaches a reader over a copy of the bytes as they stand now.
  SectorReader& Reader() {
    reader_ = std::make_unique<SectorReader>();
    reader_->Attach(std::make_unique<platform::MemorySource>(bytes_), bytes_.size() / size_t(sectorSize_));
    return *reader_;
  }

 private:
  int sectorSize_;
  std::vector<uint8_t> bytes_;
  std::unique_ptr<SectorReader> reader_;
};

// Points the scanner's context at a sector of a reader, as a sweep would, with no flags set.
inline void AimContextAt(SectorReader* reader, uint64_t sector, int sectorSize = 512) {
  MeasureContext& c = MeasureContext::Instance();
  c.reader = reader;
  c.sectorSize = sectorSize;
  c.startSector = sector;
  c.sectorUnderTest = sector;
  c.strictTransportStream = false;
  c.bdavInProgress = false;
  c.TransportStreamExtents.clear();
}

}  // namespace salvora::test
