#include "platform/DiskMap.h"

#include <set>
#include <string>
#include <utility>

#include "platform/SysfsBlock.h"
#include "platform/WindowsDevice.h"
#include "platform/WindowsVolumes.h"

namespace salvora::platform {

namespace {
// Windows numbers its disks itself; the numbers can have holes when a disk goes away.
constexpr int kMaxDisks = 128;
}  // namespace

std::string DeviceFolder() { return "//."; }

// The physical disks, then each lettered volume that no listed disk's layout shows: a network or
// virtual drive, a volume of a dynamic disk, or one whose disk answers with a layout that leaves
// it out (Wine puts C: on a disk with no partitions). Such a volume is a source of its own.
std::vector<std::string> ListWholeDisks(const std::string&, const std::string&) {
  std::vector<std::string> paths;
  std::set<std::pair<uint32_t, uint32_t>> shown;  // (disk, partition) of the listed disks' partitions
  for (int n = 0; n < kMaxDisks; ++n) {
    const std::string name = "PhysicalDrive" + std::to_string(n);
    int error = 0;
    if (!OpenWindowsDevice("//./" + name, &error)) continue;
    paths.push_back("//./" + name);
    SysfsDisk disk;
    if (!ReadSysfsDisk("", name, disk)) continue;
    for (const SysfsPartition& partition : disk.partitions) shown.insert({uint32_t(n), partition.number});
  }
  for (const WindowsVolume& volume : ListWindowsVolumes())
    if (volume.letter && !shown.count({volume.diskNumber, volume.partitionNumber}))
      paths.push_back(std::string("//./") + volume.letter + ":");
  return paths;
}

}  // namespace salvora::platform
