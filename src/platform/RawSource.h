#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/FaultInjection.h"

// A readable byte source: a block device, an image file, or memory (tests, fuzzing). Reads are
// positioned, so no seek state is shared.
namespace salvora::platform {

class RawSource {
 public:
  virtual ~RawSource() = default;
  // Reads up to length bytes at offset. Returns the count read (0 at the end), or -1 with the
  // platform error code in *error.
  virtual long long ReadAt(void* buffer, size_t length, uint64_t offset, int* error) = 0;
  // Byte length of the source, or -1 with the platform error in *error.
  virtual long long ByteLength(int* error) = 0;
};

// Geometry of a device; files and devices without one report 255 heads x 63 sectors.
struct DiskGeometry {
  uint64_t cylinders = 0;
  uint32_t tracksPerCylinder = 255;
  uint32_t sectorsPerTrack = 63;
  uint32_t bytesPerSector = 512;
};

// A source opened from a path, always read-only. Every source of the engines is opened here. A
// path naming a container image (Expert Witness segments, split raw pieces) reads as the media
// the container holds; the known unreadable areas of an image fail as the medium did.
class FileSource : public RawSource {
 public:
  FileSource() = default;
  ~FileSource() override;
  // Moving hands the descriptor over; the moved-from source is closed.
  FileSource(FileSource&& other) noexcept { *this = std::move(other); }
  FileSource& operator=(FileSource&& other) noexcept;
  // Opens path read-only; returns 0 or the platform error.
  int Open(const std::string& path);
  // How many times this process has opened a source (tests count the opens of a scan).
  static uint64_t OpenCount();
  long long ReadAt(void* buffer, size_t length, uint64_t offset, int* error) override;
  long long ByteLength(int* error) override;
  // Geometry and logical sector size of a block device; for regular files 512-byte sectors and a
  // cylinder count derived from the size. Returns 0 or the platform error.
  int QueryGeometry(DiskGeometry& geometry);
  bool IsBlockDevice() const;
  int fd() const { return fd_; }

 private:
  static void CountOpen();
  // Reads the container, simulated faults and known unreadable areas of the open path; closes the
  // descriptor on failure.
  int OpenContents(const std::string& path);
  // A read of the path itself; the system's implementation (devices may need aligned reads).
  long long ReadDirect(void* buffer, size_t length, uint64_t offset, int* error);

  int fd_ = -1;  // the path itself
  bool device_ = false;  // a disk or volume read through its device handle (Windows) (a container's first segment)
  std::unique_ptr<RawSource> container_;
  std::optional<FaultPlan> faults_;  // simulated bad stretches (tests only)
  std::vector<std::pair<uint64_t, uint64_t>> failing_;  // simulated and known unreadable areas
};

// A source held in memory, for tests and fuzzing.
class MemorySource : public RawSource {
 public:
  explicit MemorySource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  long long ReadAt(void* buffer, size_t length, uint64_t offset, int* error) override;
  long long ByteLength(int*) override { return static_cast<long long>(bytes_.size()); }
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace salvora::platform
