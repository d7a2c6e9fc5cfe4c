#pragma once

#include "carving/ByteSource.h"
#include "carving/MeasureContext.h"

namespace salvora {

// The candidate file of MeasureContext (from its start sector on) as a ByteSource. Whole pieces of
// up to 64 KiB are read into the scanner's work buffer, each reported once to the scan-progress
// callback as the size rules do; a cancelling answer ends all reading (Cancelled()). Where the
// context has the volume's free clusters and allocated ones lie ahead, the candidate's bytes are
// those of the free-space stream.
class SectorByteSource : public ByteSource {
 public:
  explicit SectorByteSource(uint64_t limitBytes);

  uint64_t Limit() const override { return limit_; }
  const uint8_t* Window(uint64_t offset, size_t& available) override;
  bool Cancelled() const { return cancelled_; }

 private:
  bool Load(uint64_t sector);

  MeasureContext& context_;
  uint64_t limit_ = 0;
  uint64_t sector_ = 0;  // sector size in bytes
  uint8_t* buffer_ = nullptr;
  uint64_t loadedFirst_ = 0;  // file-relative sector of the buffer's first byte
  size_t loadedBytes_ = 0;
  const FreeSpaceStream* freeSpace_ = nullptr;  // set when the candidate is read in the free stream
  bool cancelled_ = false;
  bool faulted_ = false;
};

}  // namespace salvora
