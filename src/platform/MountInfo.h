#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Mounted volumes of the running system (/proc/self/mountinfo) and their free space.
namespace salvora::platform {

// The mount point of the block device with this major:minor in mountinfo text, "" when none.
// Escapes of the text (\040 for a space) are decoded.
std::string MountPointOf(std::string_view mountInfoText, unsigned major, unsigned minor);
// The mount point of a device node ("/dev/sdb1"), from /proc/self/mountinfo; "" when not mounted.
std::string MountPointOfDevice(const std::string& devicePath);
// Free bytes of the file system at mountPoint: f_bfree x f_frsize (every free block). 0 or a
// platform error.
int MountedFreeBytes(const std::string& mountPoint, uint64_t& freeBytes);
// The device node of the partition of diskPath ("/dev/sdb") starting at startSector (in the disk's
// logical sectors), the disk itself for start 0; "" when there is none or diskPath is no device.
std::string PartitionDevicePath(const std::string& diskPath, uint64_t startSector,
                                const std::string& sysBlockRoot = "/sys/block");

}  // namespace salvora::platform
