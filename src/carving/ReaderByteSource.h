#pragma once

#include <cstdint>
#include <vector>

#include "carving/ByteSource.h"
#include "storage/SectorReader.h"

namespace salvora {

// The medium itself as a ByteSource, from a start sector on, read in pieces of up to 64 KiB into a
// buffer of its own (it does not disturb the sweep's work buffer or its progress reports).
class ReaderByteSource : public ByteSource {
 public:
  ReaderByteSource(SectorReader& reader, int sectorSize, uint64_t firstSector, uint64_t limitBytes);

  uint64_t Limit() const override { return limit_; }
  const uint8_t* Window(uint64_t offset, size_t& available) override;

 private:
  bool Load(uint64_t sector);

  SectorReader& reader_;
  uint64_t sectorSize_;
  uint64_t firstSector_;
  uint64_t limit_ = 0;
  std::vector<uint8_t> buffer_;
  uint64_t loadedFirst_ = 0;  // sector (from firstSector) of the buffer's first byte
  size_t loadedBytes_ = 0;
};

}  // namespace salvora
