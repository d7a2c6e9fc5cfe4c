#include "storage/ImageWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <vector>

#include "platform/Clock.h"
#include "platform/DiskMap.h"
#include "platform/ErrorCodes.h"
#include "platform/PlatformError.h"
#include "platform/RawSource.h"
#include "storage/DiskEnumerator.h"

namespace salvora {
namespace {

// Writes all of length bytes; a failed write or one that writes nothing gives the platform error.
int WriteAll(int fd, const uint8_t* data, size_t length) {
  size_t done = 0;
  while (done < length) {
    ssize_t put = ::write(fd, data + done, length - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return put < 0 ? platform::LastError() : platform::FromErrno(ENOSPC);
    done += size_t(put);
  }
  return 0;
}

}  // namespace

int ImageWriter::CreateImage(int diskNumber, uint64_t startSector, uint64_t sectorCount,
                             const std::string& destinationPath, ImageProgressCallback callback,
                             void* context) {
  Close();
  callback_ = callback;
  context_ = context;
  std::string path;
  if (int rc = platform::DiskDevicePath(diskNumber, path); rc != 0) return rc;
  platform::FileSource disk;
  if (int rc = disk.Open(path); rc != 0) return rc;
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
  startSector_ = startSector;
  sectorCount_ = sectorCount;
  if (startSector > uint64_t(LLONG_MAX) / bytesPerSector_ || sectorCount > UINT64_MAX / bytesPerSector_)
    return kInvalidParameter;

  // Replacing the destination must never empty the source itself (an image mapped as a disk).
  struct stat from {}, to {};
  if (::fstat(disk.fd(), &from) == 0 && ::stat(destinationPath.c_str(), &to) == 0 &&
      ((S_ISBLK(from.st_mode) && S_ISBLK(to.st_mode) && from.st_rdev == to.st_rdev) ||
       (from.st_dev == to.st_dev && from.st_ino == to.st_ino)))
    return kInvalidParameter;

  source_ = ::dup(disk.fd());
  if (source_ < 0) return platform::LastError();
  if (::lseek(source_, off_t(startSector * bytesPerSector_), SEEK_SET) < 0) return platform::LastError();
  destination_ = ::open(destinationPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (destination_ < 0) return platform::LastError();
  int result = Copy();
  int closed = CloseDestination();
  Close();
  return result != 0 ? result : closed;
}

int ImageWriter::Copy() {
  const uint64_t total = sectorCount_ * bytesPerSector_;
  uint64_t remaining = total;
  uint64_t done = 0;
  uint64_t chunk = kChunkBytes;
  int secondsLeft = -1;
  const uint64_t startTick = platform::TickMs();
  uint64_t lastEstimate = startTick;
  std::vector<uint8_t> buffer(kChunkBytes);
  while (remaining != 0) {
    chunk = std::min(chunk, remaining);
    size_t got = 0;
    int readResult = DiskEnumerator::ReadFully(source_, buffer.data(), size_t(chunk), got);
    // Whole sectors only; what was read before a failure still goes into the image.
    size_t whole = got - got % bytesPerSector_;
    if (whole != 0)
      if (int rc = WriteAll(destination_, buffer.data(), whole); rc != 0) return rc;
    if (readResult != 0) return readResult;
    remaining -= got;
    done += got;
    uint64_t now = platform::TickMs();
    if (now - lastEstimate >= kEstimateIntervalMs) {
      uint64_t elapsed = (now - startTick) / 1000;
      uint64_t rate = std::max<uint64_t>(1, elapsed ? done / elapsed : done);
      secondsLeft = int(std::min<uint64_t>((total - done) / rate, INT_MAX));
      lastEstimate = now;
    }
    if (callback_) {
      int percent = int(done * 100 / total);
      if (int stop = callback_(context_, percent, done / bytesPerSector_, total / bytesPerSector_, secondsLeft);
          stop != 0)
        return stop;
    }
  }
  return 0;
}

int ImageWriter::CloseDestination() {
  if (destination_ < 0) return 0;
  // An image that only reached the page cache is not yet safe; report a failure to store it.
  int result = ::fdatasync(destination_) == 0 || errno == EINVAL ? 0 : platform::LastError();
  if (::close(destination_) != 0 && result == 0) result = platform::LastError();
  destination_ = -1;
  return result;
}

void ImageWriter::Close() {
  if (source_ >= 0) ::close(source_);
  if (destination_ >= 0) ::close(destination_);
  source_ = destination_ = -1;
}

}  // namespace salvora
