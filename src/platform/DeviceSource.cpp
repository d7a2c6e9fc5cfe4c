#include "platform/DeviceSource.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/ErrorCodes.h"
#include "platform/PlatformError.h"

namespace salvora::platform {
namespace {

constexpr size_t kAnswerBytes = 256;
// The largest piece read through the aligned buffer at once.
constexpr size_t kBouncePiece = 1 << 20;

struct AlignedFree {
  void operator()(uint8_t* p) const { ::operator delete[](p, std::align_val_t(4096)); }
};

}  // namespace

int FromWindowsError(int windowsError) {
  switch (windowsError) {
    case 2:
    case 3:
      return FromErrno(ENOENT);
    case 5:
    case 32:
      return FromErrno(EACCES);
    case 21:  // not ready: no medium
      return FromErrno(ENXIO);
    case 23:  // data error (CRC)
    case 27:  // sector not found
    case 1117:  // I/O device error
      return FromErrno(EIO);
    case 87:
      return FromErrno(EINVAL);
    default:
      return FromErrno(EIO);
  }
}

DeviceSource::DeviceSource(std::unique_ptr<DeviceHandle> handle) : handle_(std::move(handle)) {}

int DeviceSource::Query() {
  std::vector<uint8_t> answer;
  if (int rc = handle_->Control(ioctl::kDiskGetDriveGeometryEx, {}, kAnswerBytes, answer); rc != 0)
    return FromWindowsError(rc);
  if (!DecodeGeometry(answer, geometry_)) return kInvalidParameter;
  sector_ = geometry_.bytesPerSector;
  // The length question is the truth; the geometry's size and cylinders are fallbacks.
  if (handle_->Control(ioctl::kDiskGetLengthInfo, {}, kAnswerBytes, answer) == 0 && DecodeLength(answer, length_) &&
      length_ != 0)
    return 0;
  length_ = geometry_.diskBytes != 0 ? geometry_.diskBytes
                                     : geometry_.cylinders * geometry_.tracksPerCylinder *
                                           geometry_.sectorsPerTrack * uint64_t(sector_);
  return 0;
}

long long DeviceSource::ByteLength(int*) { return static_cast<long long>(length_); }

long long DeviceSource::ReadAt(void* buffer, size_t length, uint64_t offset, int* error) {
  if (offset >= length_) return 0;
  length = size_t(std::min<uint64_t>(length, length_ - offset));
  const bool aligned = offset % sector_ == 0 && length % sector_ == 0 &&
                       reinterpret_cast<uintptr_t>(buffer) % sector_ == 0;
  int windowsError = 0;
  if (aligned) {
    const long long got = handle_->ReadAligned(buffer, length, offset, &windowsError);
    if (got < 0 && error) *error = FromWindowsError(windowsError);
    return got;
  }
  // Through whole sectors: from the sector holding offset to the one holding the last byte.
  auto* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  std::unique_ptr<uint8_t, AlignedFree> bounce(new (std::align_val_t(4096)) uint8_t[kBouncePiece]);
  while (done < length) {
    const uint64_t at = offset + done;
    const uint64_t first = at - at % sector_;
    const size_t skip = size_t(at - first);
    const size_t want = std::min(length - done, kBouncePiece - skip);
    size_t span = skip + want;
    span = (span + sector_ - 1) / sector_ * sector_;
    const long long got = handle_->ReadAligned(bounce.get(), span, first, &windowsError);
    if (got < 0) {
      if (done > 0) break;  // what came before the failure still arrives, as a short read
      if (error) *error = FromWindowsError(windowsError);
      return -1;
    }
    if (size_t(got) <= skip) break;
    const size_t usable = std::min(want, size_t(got) - skip);
    std::memcpy(out + done, bounce.get() + skip, usable);
    done += usable;
    if (usable < want) break;
  }
  return static_cast<long long>(done);
}

}  // namespace salvora::platform
