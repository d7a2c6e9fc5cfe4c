#pragma once

#include <cstdint>
#include <memory>

#include "platform/DeviceAnswers.h"
#include "platform/DeviceHandle.h"
#include "platform/RawSource.h"

// A disk or volume read through its device handle. The device takes only whole, aligned sectors:
// any other read goes through an aligned buffer of whole sectors and hands back the bytes asked
// for. Length and sector size come from the device's own answers.
namespace salvora::platform {

class DeviceSource : public RawSource {
 public:
  explicit DeviceSource(std::unique_ptr<DeviceHandle> handle);
  // Asks the geometry and the length; 0 or the platform error of the failed question.
  int Query();
  long long ReadAt(void* buffer, size_t length, uint64_t offset, int* error) override;
  long long ByteLength(int* error) override;
  const GeometryAnswer& Geometry() const { return geometry_; }
  DeviceHandle& Handle() { return *handle_; }

 private:
  std::unique_ptr<DeviceHandle> handle_;
  GeometryAnswer geometry_;
  uint64_t length_ = 0;
  uint32_t sector_ = 512;
};

// A platform error code for a Windows error code.
int FromWindowsError(int windowsError);

}  // namespace salvora::platform
