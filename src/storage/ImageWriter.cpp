#include "storage/ImageWriter.h"

#include <cerrno>
#include <climits>
#include <utility>

#include "platform/DiskMap.h"
#include "platform/ErrorCodes.h"
#include "platform/FileDescriptor.h"
#include "platform/FileStatus.h"
#include "platform/PlatformError.h"
#include "platform/RawSource.h"
#include "storage/OutputTarget.h"

namespace salvora {

int ImageWriter::CreateImage(int diskNumber, uint64_t startSector, uint64_t sectorCount,
                             const std::string& destinationPath, ImageProgressCallback callback,
                             void* context) {
  std::string path;
  if (int rc = platform::DiskDevicePath(diskNumber, path); rc != 0) return rc;
  return CreateImage(path, startSector, sectorCount, destinationPath, callback, context);
}

int ImageWriter::CreateImage(const std::string& diskPath, uint64_t startSector, uint64_t sectorCount,
                             const std::string& destinationPath, ImageProgressCallback callback,
                             void* context) {
  problem_.clear();
  resumed_ = false;
  platform::FileSource disk;
  if (int rc = disk.Open(diskPath); rc != 0) return rc;
  platform::DiskGeometry geometry;
  if (int rc = disk.QueryGeometry(geometry); rc != 0) return rc;
  bytesPerSector_ = geometry.bytesPerSector;
  if (sectorCount == 0) {
    int error = 0;
    long long length = disk.ByteLength(&error);
    sectorCount = length > 0 ? uint64_t(length) / bytesPerSector_ : 0;
    if (sectorCount == 0)
      sectorCount = geometry.cylinders * geometry.sectorsPerTrack * geometry.tracksPerCylinder;
  }
  if (startSector > uint64_t(LLONG_MAX) / bytesPerSector_ || sectorCount > uint64_t(LLONG_MAX) / bytesPerSector_)
    return kInvalidParameter;

  // Neither the image nor its map may be the source, however they are named (a loop device's
  // file, a hard link, a device node): replacing either would destroy what is being copied.
  for (const auto& [path, what] : {std::pair{destinationPath, "image"}, std::pair{options_.mapPath, "map"}}) {
    if (path.empty()) continue;
    problem_ = OutputFileRefusal(path, what, {diskPath});
    if (!problem_.empty()) return kInvalidParameter;
  }

  if (int rc = PrepareMap(sectorCount * bytesPerSector_, destinationPath); rc != 0) return rc;
  const int flags = O_WRONLY | O_CREAT | (resumed_ ? 0 : O_TRUNC);
  const int out = platform::OpenFile(destinationPath, flags, 0644);
  if (out < 0) return platform::LastError();
  Rescuer rescuer(disk, startSector * bytesPerSector_, out, bytesPerSector_, map_, options_, callback, context);
  int result = rescuer.Run();
  // An image that only reached the page cache is not yet safe; report a failure to store it.
  int closed = platform::SyncFileData(out) == 0 || errno == EINVAL ? 0 : platform::LastError();
  if (platform::CloseFile(out) != 0 && closed == 0) closed = platform::LastError();
  return result != 0 ? result : closed;
}

int ImageWriter::PrepareMap(uint64_t imageBytes, const std::string& destinationPath) {
  map_.Reset(imageBytes);
  platform::FileStatus st;
  if (options_.mapPath.empty() || !options_.resume || platform::StatPath(options_.mapPath, st) != 0) return 0;
  std::string error;
  RescueMap loaded;
  if (int rc = LoadRescueMap(options_.mapPath, loaded, error); rc != 0) {
    problem_ = error.empty() ? platform::ErrorText(rc) : error;
    return kInvalidParameter;
  }
  if (loaded.Size() > imageBytes) {
    problem_ = "the map covers " + std::to_string(loaded.Size()) + " bytes, more than the " +
               std::to_string(imageBytes) + " being imaged";
    return kInvalidParameter;
  }
  // Without the image the bytes the map calls rescued are gone.
  if (loaded.BytesWith(rescue::kFinished) != 0 && platform::StatPath(destinationPath, st) != 0) {
    problem_ = "the map says part of the image was copied, but " + destinationPath + " is missing";
    return kInvalidParameter;
  }
  loaded.Extend(imageBytes);
  map_ = loaded;
  resumed_ = true;
  return 0;
}

}  // namespace salvora
