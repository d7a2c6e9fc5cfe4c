#include "storage/SectorReader.h"

#include <cerrno>

#include "platform/DiskMap.h"
#include "platform/ErrorCodes.h"
#include "platform/FailureContext.h"
#include "platform/PlatformError.h"

namespace salvora {

int SectorReader::OpenDisk(int diskNumber) {
  Close();
  std::string path;
  if (int rc = platform::DiskDevicePath(diskNumber, path); rc != 0) return rc;
  auto file = std::make_unique<platform::FileSource>();
  if (int rc = file->Open(path); rc != 0) return rc;
  platform::DiskGeometry geometry;
  if (int rc = file->QueryGeometry(geometry); rc != 0) return rc;
  int error = 0;
  long long bytes = file->ByteLength(&error);
  uint64_t total = bytes > 0 ? uint64_t(bytes) / geometry.bytesPerSector : 0;
  if (total == 0) {
    uint32_t perCylinder = geometry.tracksPerCylinder * geometry.sectorsPerTrack;
    total = uint64_t(perCylinder) * geometry.cylinders;
  }
  deviceSectorSize_ = int(geometry.bytesPerSector);
  totalSectors_ = total;
  source_ = std::move(file);
  return 0;
}

int SectorReader::OpenFile(const std::string& path) {
  Close();
  auto file = std::make_unique<platform::FileSource>();
  if (int rc = file->Open(path); rc != 0) return rc;
  int error = 0;
  long long bytes = file->ByteLength(&error);
  if (bytes < 0) return error;
  totalSectors_ = uint64_t(bytes) / 512;
  deviceSectorSize_ = 512;
  source_ = std::move(file);
  return 0;
}

void SectorReader::Attach(std::unique_ptr<platform::RawSource> source, uint64_t totalSectors) {
  Close();
  source_ = std::move(source);
  totalSectors_ = source_ ? totalSectors : 0;
}

int SectorReader::AttachWhole(std::unique_ptr<platform::RawSource> source) {
  int error = 0;
  const long long bytes = source ? source->ByteLength(&error) : -1;
  if (bytes < 0) return error ? error : kInvalidParameter;
  Attach(std::move(source), uint64_t(bytes) / 512);
  return 0;
}

void SectorReader::Share(const SectorReader& other) {
  source_ = other.source_;
  totalSectors_ = other.totalSectors_;
  deviceSectorSize_ = other.deviceSectorSize_;
}

int SectorReader::ReadSectors(void* buffer, uint32_t count, uint64_t firstSector, int sectorSize,
                              uint32_t& sectorsRead) {
  if (!source_ || sectorSize <= 0) return kInvalidParameter;
  if (firstSector > totalSectors_ || count > totalSectors_ - firstSector) return kInvalidParameter;
  const uint64_t size = uint64_t(sectorSize);
  if (firstSector > UINT64_MAX / size) return platform::FromErrno(EINVAL);
  uint64_t offset = firstSector * size;
  uint64_t wanted = uint64_t(count) * size;
  uint64_t done = 0;
  int result = 0;
  auto* out = static_cast<uint8_t*>(buffer);
  while (done < wanted) {
    size_t piece = size_t(std::min<uint64_t>(kPieceBytes, wanted - done));
    int error = 0;
    long long got = source_->ReadAt(out + done, piece, offset + done, &error);
    if (got <= 0) {
      result = kReadFault;
      platform::NoteFailedRead(result, firstSector + done / size);
      break;
    }
    done += uint64_t(got);
  }
  sectorsRead = uint32_t(done / size);
  return result;
}

void SectorReader::Close() {
  source_.reset();
  totalSectors_ = 0;
}

}  // namespace salvora
