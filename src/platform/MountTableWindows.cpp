#include "platform/MountTable.h"

#include <windows.h>

#include "platform/WindowsPath.h"
#include "platform/WindowsVolumes.h"

namespace salvora::platform {

// Each volume on a disk partition, as a mount of that partition: major is the disk number and
// minor the partition number (SysfsBlock), the mount point its drive letter's root.
std::vector<MountEntry> ReadMountTable(const std::string&) {
  std::vector<MountEntry> mounts;
  for (const WindowsVolume& volume : ListWindowsVolumes()) {
    if (volume.diskNumber == UINT32_MAX || volume.partitionNumber == UINT32_MAX) continue;
    MountEntry m;
    m.major = volume.diskNumber;
    m.minor = volume.partitionNumber;
    m.root = "/";
    m.mountPoint = volume.root;
    m.source = volume.devicePath;
    wchar_t fsName[64] = {};
    if (GetVolumeInformationW(WidePath(volume.root).c_str(), nullptr, 0, nullptr, nullptr, nullptr, fsName, 64))
      m.fsType = Utf8Path(fsName);
    mounts.push_back(m);
  }
  return mounts;
}

}  // namespace salvora::platform
