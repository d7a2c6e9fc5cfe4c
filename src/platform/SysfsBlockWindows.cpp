#include "platform/SysfsBlock.h"

#include "platform/DeviceAnswers.h"
#include "platform/WindowsDevice.h"

// Windows has no /sys: the same facts come from the disk's own device controls. A disk's name is
// "PhysicalDriveN"; its partitions carry the disk number as major and their number as minor, the
// numbers the volumes report for themselves (MountTable).
namespace salvora::platform {
namespace {

constexpr size_t kLayoutBytes = 48 + 144 * 128;

bool DiskNumberOf(const std::string& name, unsigned& number) {
  static const std::string kPrefix = "PhysicalDrive";
  if (name.compare(0, kPrefix.size(), kPrefix) != 0 || name.size() == kPrefix.size()) return false;
  number = 0;
  for (size_t i = kPrefix.size(); i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9' || number > 100000) return false;
    number = number * 10 + unsigned(name[i] - '0');
  }
  return true;
}

bool StorageOf(DeviceHandle& disk, StorageAnswer& storage) {
  std::vector<uint8_t> answer;
  return disk.Control(ioctl::kStorageQueryProperty, StoragePropertyQuery(), 551, answer) == 0 &&
         DecodeStorageDescriptor(answer, storage);
}

}  // namespace

bool DeviceNumberOf(const std::string&, const std::string& name, unsigned& major, unsigned& minor) {
  minor = 0;
  return DiskNumberOf(name, major);
}

bool ReadSysfsDisk(const std::string&, const std::string& name, SysfsDisk& disk) {
  unsigned number = 0;
  if (!DiskNumberOf(name, number)) return false;
  int error = 0;
  auto handle = OpenWindowsDevice("//./" + name, &error);
  if (!handle) return false;
  disk = SysfsDisk{};
  disk.name = name;
  disk.major = number;
  std::vector<uint8_t> answer;
  GeometryAnswer geometry;
  if (handle->Control(ioctl::kDiskGetDriveGeometryEx, {}, 256, answer) != 0 || !DecodeGeometry(answer, geometry))
    return false;
  disk.logicalBlockSize = geometry.bytesPerSector;
  uint64_t bytes = geometry.diskBytes;
  if (handle->Control(ioctl::kDiskGetLengthInfo, {}, 64, answer) == 0) DecodeLength(answer, bytes);
  disk.size512 = bytes / 512;
  StorageAnswer storage;
  disk.removable = geometry.mediaType == 11 || (StorageOf(*handle, storage) && storage.removableMedia);
  LayoutAnswer layout;
  if (handle->Control(ioctl::kDiskGetDriveLayoutEx, {}, kLayoutBytes, answer) == 0 && DecodeLayout(answer, layout)) {
    for (const LayoutPartition& p : layout.partitions) {
      if (p.extended || p.number == 0) continue;
      SysfsPartition partition;
      partition.name = name + "Partition" + std::to_string(p.number);
      partition.number = p.number;
      partition.start512 = p.startByte / 512;
      partition.size512 = p.lengthBytes / 512;
      partition.major = number;
      partition.minor = p.number;
      disk.partitions.push_back(partition);
    }
  }
  return true;
}

std::string DiskBusType(const std::string&, const std::string& name) {
  int error = 0;
  auto handle = OpenWindowsDevice("//./" + name, &error);
  StorageAnswer storage;
  if (!handle || !StorageOf(*handle, storage)) return "";
  if (storage.busType == 7) return "usb";
  if (storage.busType == 12 || storage.busType == 13) return "mmc";
  return "";
}

// Stacked devices (device mapper, md, loop) are a Linux matter.
bool DescribeDevice(const std::string&, unsigned, unsigned, SysfsDeviceInfo&) { return false; }

}  // namespace salvora::platform
