#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/DeviceAnswers.h"

// The volumes Windows has mounted, as its mount manager lists them, with the pieces of disk each
// one lies on. For the Windows implementations of this floor only.
namespace salvora::platform {

struct WindowsVolume {
  std::string devicePath;  // "\\.\E:" or "\\?\Volume{...}": what opens the volume
  std::string root;        // "E:\" or "\\?\Volume{...}\"
  char letter = 0;         // 0: none
  uint32_t diskNumber = UINT32_MAX;  // of the storage device number; all ones when unknown
  uint32_t partitionNumber = UINT32_MAX;
  std::vector<DiskExtent> extents;
};

// The volumes that lie on disks (hard-disk volumes), once each, lettered ones first.
std::vector<WindowsVolume> ListWindowsVolumes();
// The volumes from the mount manager's answer (tests feed recorded ones); extents stay empty.
std::vector<WindowsVolume> VolumesFromMountPoints(const std::vector<MountPointAnswer>& points);

}  // namespace salvora::platform
