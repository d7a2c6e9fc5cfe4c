#include "platform/MountInfo.h"

#include <cstdlib>

#include "platform/FreeSpace.h"
#include "platform/WindowsDevice.h"
#include "platform/WindowsVolumes.h"

namespace salvora::platform {

// No mountinfo text on Windows: nothing is found in it.
std::string MountPointOf(std::string_view, unsigned, unsigned) { return ""; }

std::string MountPointOfDevice(const std::string& devicePath) {
  for (const WindowsVolume& volume : ListWindowsVolumes())
    if (volume.devicePath == devicePath) return volume.root;
  return "";
}

int MountedFreeBytes(const std::string& mountPoint, uint64_t& freeBytes) {
  SpaceInfo space;
  if (int rc = QuerySpace(mountPoint, space); rc != 0) return rc;
  freeBytes = space.freeBytes;
  return 0;
}

// The volume whose first piece starts at startSector (in the disk's own sectors) of the disk.
std::string PartitionDevicePath(const std::string& diskPath, uint64_t startSector, const std::string&) {
  static const std::string kPrefix = "PhysicalDrive";
  const size_t at = diskPath.find(kPrefix);
  if (at == std::string::npos) return "";
  const uint32_t disk = uint32_t(std::strtoul(diskPath.c_str() + at + kPrefix.size(), nullptr, 10));
  if (startSector == 0) return diskPath;
  int error = 0;
  auto handle = OpenWindowsDevice(diskPath, &error);
  std::vector<uint8_t> answer;
  GeometryAnswer geometry;
  if (!handle || handle->Control(ioctl::kDiskGetDriveGeometryEx, {}, 256, answer) != 0 ||
      !DecodeGeometry(answer, geometry))
    return "";
  for (const WindowsVolume& volume : ListWindowsVolumes()) {
    if (volume.extents.empty() || volume.extents[0].diskNumber != disk) continue;
    if (volume.extents[0].startByte == startSector * geometry.bytesPerSector) return volume.devicePath;
  }
  return "";
}

}  // namespace salvora::platform
