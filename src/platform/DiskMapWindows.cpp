#include "platform/DiskMap.h"

#include <set>
#include <string>

#include "platform/WindowsDevice.h"
#include "platform/WindowsVolumes.h"

namespace salvora::platform {

namespace {
// Windows numbers its disks itself; the numbers can have holes when a disk goes away.
constexpr int kMaxDisks = 128;
}  // namespace

std::string DeviceFolder() { return "//."; }

// The physical disks, then each lettered volume the system names no disk for (a network or
// virtual drive, Wine's drives): such a volume is offered as a source of its own.
std::vector<std::string> ListWholeDisks(const std::string&, const std::string&) {
  std::vector<std::string> paths;
  std::set<uint32_t> disks;
  for (int n = 0; n < kMaxDisks; ++n) {
    const std::string path = "//./PhysicalDrive" + std::to_string(n);
    int error = 0;
    if (!OpenWindowsDevice(path, &error)) continue;
    paths.push_back(path);
    disks.insert(uint32_t(n));
  }
  for (const WindowsVolume& volume : ListWindowsVolumes())
    if (volume.letter && !disks.count(volume.diskNumber)) paths.push_back(std::string("//./") + volume.letter + ":");
  return paths;
}

}  // namespace salvora::platform
