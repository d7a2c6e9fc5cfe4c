#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/RawSource.h"

namespace salvora {

// Reads runs of whole sectors of a disk or image at 64-bit sector addresses. It knows nothing of
// partitions or file systems; every read names the sector size the caller works in.
class SectorReader {
 public:
  static constexpr size_t kPieceBytes = 65536;

  SectorReader() = default;
  ~SectorReader() { Close(); }
  SectorReader(const SectorReader&) = delete;
  SectorReader& operator=(const SectorReader&) = delete;

  // Opens physical disk number n read-only. The total comes from the device length in its
  // logical sector size, or from the geometry product when the length is unknown.
  int OpenDisk(int diskNumber);
  // Opens an image file read-only; total sectors = file size / 512.
  int OpenFile(const std::string& path);
  // Uses an already opened source (memory, test doubles) with a given total.
  void Attach(std::unique_ptr<platform::RawSource> source, uint64_t totalSectors);
  // The same with as many 512-byte sectors as the source holds whole, as for an image file.
  // 0, or the source's error (87 for no source or no length).
  int AttachWhole(std::unique_ptr<platform::RawSource> source);
  // Reads the source other has open, with its total and sector size, without opening it again:
  // the engines of one advanced scan share the coordinator's. Reads are positioned, so readers
  // sharing a source do not disturb each other.
  void Share(const SectorReader& other);
  // Reads count sectors of sectorSize bytes starting at firstSector into buffer.
  // 87: the run ends past the last sector (nothing read, sectorsRead untouched);
  // 30: a piece failed or returned no bytes; sectorsRead = whole sectors actually read.
  int ReadSectors(void* buffer, uint32_t count, uint64_t firstSector, int sectorSize,
                  uint32_t& sectorsRead);
  void Close();

  bool IsOpen() const { return source_ != nullptr; }
  // The open source itself, for reads that go around the sector arithmetic; nullptr when closed.
  platform::RawSource* Source() const { return source_.get(); }
  uint64_t TotalSectors() const { return totalSectors_; }
  // Logical sector size learned by OpenDisk (512 for files and attached sources).
  int DeviceSectorSize() const { return deviceSectorSize_; }

 private:
  std::shared_ptr<platform::RawSource> source_;
  uint64_t totalSectors_ = 0;
  int deviceSectorSize_ = 512;
};

}  // namespace salvora
