#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the kernel tells about block devices under /sys: sizes (always in 512-byte units there),
// the logical sector size, the removable flag, device numbers and the partitions it exposed.
namespace salvora::platform {

struct SysfsPartition {
  std::string name;         // "sdb1"
  uint32_t number = 0;      // the "partition" attribute
  uint64_t start512 = 0;
  uint64_t size512 = 0;
  unsigned major = 0, minor = 0;
};

struct SysfsDisk {
  std::string name;                 // "sdb"
  uint64_t size512 = 0;
  uint32_t logicalBlockSize = 512;
  bool removable = false;
  unsigned major = 0, minor = 0;
  std::vector<SysfsPartition> partitions;  // by start
};

// Reads <sysfsRoot>/block/<name>; false when the disk is not there.
bool ReadSysfsDisk(const std::string& sysfsRoot, const std::string& name, SysfsDisk& disk);

// "usb", "mmc" or "memstick" when the disk hangs off such a bus, else "". Uses libudev on the real
// /sys and the subsystem links of the device's ancestors otherwise (both read the same tree).
std::string DiskBusType(const std::string& sysfsRoot, const std::string& name);

// Where a device number lives in sysfs: its own name, and for a partition the disk holding it
// with the partition's byte range. False when the number is unknown there.
struct SysfsDeviceInfo {
  std::string name;
  std::string diskName;       // == name for a whole disk
  bool isPartition = false;
  uint64_t startByte = 0;     // partitions only
  uint64_t lengthBytes = 0;
  std::vector<std::string> slaves;   // names of the devices it is built on (dm, md)
  std::string loopBackingFile;       // loop devices
  uint64_t loopOffset = 0;
};
bool DescribeDevice(const std::string& sysfsRoot, unsigned major, unsigned minor, SysfsDeviceInfo& info);
// The device number of a block device name ("sda1") from its "dev" attribute.
bool DeviceNumberOf(const std::string& sysfsRoot, const std::string& name, unsigned& major, unsigned& minor);

// Reads the first line of a file; "" when it cannot be read.
std::string ReadFirstLine(const std::string& path);

}  // namespace salvora::platform
