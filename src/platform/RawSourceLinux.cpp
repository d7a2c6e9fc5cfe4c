#include "platform/RawSource.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <linux/hdreg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/PlatformError.h"
#include "platform/StopRequest.h"
#include "platform/PrivilegedOpen.h"

namespace salvora::platform {

int FileSource::Open(const std::string& path) {
  CountOpen();
  if (fd_ >= 0) ::close(fd_);
  // Not blocking: opening a FIFO would otherwise wait for a writer that never comes.
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0 && (errno == EACCES || errno == EPERM) && WantsDeviceHelper(path)) {
    if (int code = OpenThroughDeviceHelper(path, &fd_); code != 0) return code;
  }
  if (fd_ < 0) return LastError();
  struct stat st {};
  const bool statted = ::fstat(fd_, &st) == 0;
  // Only image files and block devices end where their length says.
  if (!statted || !(S_ISREG(st.st_mode) || S_ISBLK(st.st_mode)) ||
      ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK) != 0) {
    int code = !statted ? LastError() : S_ISDIR(st.st_mode) ? FromErrno(EISDIR)
                                      : S_ISREG(st.st_mode) || S_ISBLK(st.st_mode) ? LastError()
                                                                                   : FromErrno(ENODEV);
    ::close(fd_);
    fd_ = -1;
    return code;
  }
  return OpenContents(path);
}

long long FileSource::ReadDirect(void* buffer, size_t length, uint64_t offset, int* error) {
  for (;;) {
    ssize_t got = ::pread(fd_, buffer, length, static_cast<off_t>(offset));
    if (got >= 0) return got;
    // A read the system broke off for a signal is tried again unless the user asked to stop.
    if (errno == EINTR && !StopRequested()) continue;
    if (error) *error = LastError();
    return -1;
  }
}

bool FileSource::IsBlockDevice() const {
  struct stat st {};
  return fd_ >= 0 && ::fstat(fd_, &st) == 0 && S_ISBLK(st.st_mode);
}

long long FileSource::ByteLength(int* error) {
  if (container_) return container_->ByteLength(error);
  struct stat st {};
  if (::fstat(fd_, &st) != 0) {
    if (error) *error = LastError();
    return -1;
  }
  if (S_ISBLK(st.st_mode)) {
    uint64_t bytes = 0;
    if (::ioctl(fd_, BLKGETSIZE64, &bytes) != 0) {
      if (error) *error = LastError();
      return -1;
    }
    return static_cast<long long>(bytes);
  }
  return static_cast<long long>(st.st_size);
}

int FileSource::QueryGeometry(DiskGeometry& geometry) {
  geometry = DiskGeometry{};
  int error = 0;
  if (IsBlockDevice()) {
    int sectorSize = 0;
    if (::ioctl(fd_, BLKSSZGET, &sectorSize) == 0 && sectorSize > 0)
      geometry.bytesPerSector = static_cast<uint32_t>(sectorSize);
    struct hd_geometry hd {};
    if (::ioctl(fd_, HDIO_GETGEO, &hd) == 0 && hd.heads != 0 && hd.sectors != 0) {
      geometry.tracksPerCylinder = hd.heads;
      geometry.sectorsPerTrack = hd.sectors;
    }
  }
  long long bytes = ByteLength(&error);
  if (bytes < 0) return error;
  uint64_t perCylinder = uint64_t(geometry.tracksPerCylinder) * geometry.sectorsPerTrack;
  geometry.cylinders = uint64_t(bytes) / geometry.bytesPerSector / perCylinder;
  return 0;
}

}  // namespace salvora::platform
