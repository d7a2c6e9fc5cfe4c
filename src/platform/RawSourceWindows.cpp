#include "platform/RawSource.h"

#include <cerrno>

#include "platform/DeviceSource.h"
#include "platform/FileDescriptor.h"
#include "platform/FileStatus.h"
#include "platform/PlatformError.h"
#include "platform/WindowsDevice.h"

namespace salvora::platform {

int FileSource::Open(const std::string& path) {
  CountOpen();
  if (fd_ >= 0) CloseFile(fd_);
  fd_ = -1;
  container_.reset();
  device_ = IsWindowsDevicePath(path);
  if (device_) {
    int windowsError = 0;
    auto handle = OpenWindowsDevice(path, &windowsError);
    if (!handle) return FromWindowsError(windowsError);
    auto source = std::make_unique<DeviceSource>(std::move(handle));
    if (int rc = source->Query(); rc != 0) return rc;
    container_ = std::move(source);
    return 0;
  }
  fd_ = OpenFile(path, O_RDONLY);
  if (fd_ < 0) return LastError();
  FileStatus st;
  const bool statted = StatFile(fd_, st) == 0;
  if (!statted || !st.IsRegular()) {
    const int code = !statted ? LastError() : st.IsFolder() ? FromErrno(EISDIR) : FromErrno(ENODEV);
    CloseFile(fd_);
    fd_ = -1;
    return code;
  }
  return OpenContents(path);
}

long long FileSource::ReadDirect(void* buffer, size_t length, uint64_t offset, int* error) {
  const long long got = ReadAtOffset(fd_, buffer, length, offset);
  if (got < 0 && error) *error = LastError();
  return got;
}

bool FileSource::IsBlockDevice() const { return device_; }

long long FileSource::ByteLength(int* error) {
  if (container_) return container_->ByteLength(error);
  FileStatus st;
  if (StatFile(fd_, st) != 0) {
    if (error) *error = LastError();
    return -1;
  }
  return static_cast<long long>(st.size);
}

int FileSource::QueryGeometry(DiskGeometry& geometry) {
  geometry = DiskGeometry{};
  if (device_) {
    const GeometryAnswer& answer = static_cast<DeviceSource&>(*container_).Geometry();
    geometry.bytesPerSector = answer.bytesPerSector;
    if (answer.tracksPerCylinder != 0 && answer.sectorsPerTrack != 0) {
      geometry.tracksPerCylinder = answer.tracksPerCylinder;
      geometry.sectorsPerTrack = answer.sectorsPerTrack;
    }
  }
  int error = 0;
  const long long bytes = ByteLength(&error);
  if (bytes < 0) return error;
  const uint64_t perCylinder = uint64_t(geometry.tracksPerCylinder) * geometry.sectorsPerTrack;
  geometry.cylinders = uint64_t(bytes) / geometry.bytesPerSector / perCylinder;
  return 0;
}

}  // namespace salvora::platform
