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

// A source opened from a path, always read-only. Every source of the engines is opened here.
class FileSource : public RawSource {
 public:
  ~FileSource() override;
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
  int fd_ = -1;
  std::optional<FaultPlan> faults_;  // simulated bad stretches (tests only)
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
