#pragma once

#include <cstdint>
#include <string>

namespace salvora {

// Progress of an image copy. secondsLeft is -1 until the first estimate. Returns 0 to go on;
// any other value stops the copy and becomes CreateImage's result.
using ImageProgressCallback = int (*)(void* context, int percent, uint64_t sectorsDone,
                                      uint64_t totalSectors, int secondsLeft);

// Copies a run of sectors of a physical disk, in order and unchanged, into an image file with no
// header. A read error ends the image: no sector is skipped or filled.
class ImageWriter {
 public:
  static constexpr uint32_t kChunkBytes = 65536;
  static constexpr uint64_t kEstimateIntervalMs = 5000;

  ImageWriter() = default;
  ~ImageWriter() { Close(); }
  ImageWriter(const ImageWriter&) = delete;
  ImageWriter& operator=(const ImageWriter&) = delete;

  // sectorCount 0: the whole disk from startSector 0. Returns 0, the callback's stop value,
  // 30 on a read failure, or the platform error (source, destination, seek, write).
  int CreateImage(int diskNumber, uint64_t startSector, uint64_t sectorCount,
                  const std::string& destinationPath, ImageProgressCallback callback, void* context);

  uint32_t BytesPerSector() const { return bytesPerSector_; }

 private:
  int Copy();
  int CloseDestination();
  void Close();

  int source_ = -1;
  int destination_ = -1;
  uint32_t bytesPerSector_ = 512;
  uint64_t startSector_ = 0;
  uint64_t sectorCount_ = 0;
  ImageProgressCallback callback_ = nullptr;
  void* context_ = nullptr;
};

}  // namespace salvora
