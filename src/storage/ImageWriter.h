#pragma once

#include <cstdint>
#include <string>

#include "storage/RescueMap.h"
#include "storage/Rescuer.h"

namespace salvora {

// Copies a run of sectors of a physical disk, in order and unchanged, into an image file with no
// header. Sectors that cannot be read are worked around as Rescuer does and left as zeros; with a
// map path the run keeps a GNU ddrescue mapfile and resumes from one that is there.
class ImageWriter {
 public:
  static constexpr uint32_t kChunkBytes = Rescuer::kChunkBytes;

  ImageWriter() = default;
  ImageWriter(const ImageWriter&) = delete;
  ImageWriter& operator=(const ImageWriter&) = delete;

  // Applies to the next CreateImage.
  void SetRescueOptions(RescueOptions options) { options_ = std::move(options); }

  // sectorCount 0: the whole disk from startSector 0. Returns 0 (bad sectors may remain: see
  // Map()), the callback's stop value, 30 when the source ends early, kInvalidParameter with
  // Problem() for a map that does not fit or an image or map path that is the source, a device
  // node or not a regular file, or the platform error (source, destination, write).
  // diskPath: the disk's device (or the image mapped as a disk) as it was listed; a disk number
  // names another disk once a disk listed before it comes or goes.
  int CreateImage(const std::string& diskPath, uint64_t startSector, uint64_t sectorCount,
                  const std::string& destinationPath, ImageProgressCallback callback, void* context);
  // The same for disk number diskNumber as the disks are numbered now.
  int CreateImage(int diskNumber, uint64_t startSector, uint64_t sectorCount,
                  const std::string& destinationPath, ImageProgressCallback callback, void* context);

  uint32_t BytesPerSector() const { return bytesPerSector_; }
  // What the last run knows of every byte of the image.
  const RescueMap& Map() const { return map_; }
  // Why an existing map could not be used, or why the image or map path was refused.
  const std::string& Problem() const { return problem_; }
  // Whether the last run went on from an existing map.
  bool Resumed() const { return resumed_; }

 private:
  int PrepareMap(uint64_t imageBytes, const std::string& destinationPath);

  RescueOptions options_;
  RescueMap map_;
  std::string problem_;
  bool resumed_ = false;
  uint32_t bytesPerSector_ = 512;
};

}  // namespace salvora
