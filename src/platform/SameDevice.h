#pragma once

#include <cstdint>
#include <string>

// Whether writing to a path would write to the medium being read: the destination's file system
// lives on the source volume, or, for a whole-disk source, anywhere on that disk. Device-mapper,
// md and loop devices are followed to what they are built on, and FUSE mounts to their device.
namespace salvora::platform {

struct SourceSpan {
  std::string diskPath;      // whole-disk device, or an image file mapped as a disk
  uint64_t startByte = 0;
  uint64_t lengthBytes = 0;  // 0: the whole disk
};

struct DeviceRoots {
  std::string sysfs = "/sys";
  std::string mountInfo = "/proc/self/mountinfo";
};

bool SameDevice(const std::string& path, const SourceSpan& source, const DeviceRoots& roots = {});

}  // namespace salvora::platform
