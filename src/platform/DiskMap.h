#pragma once

#include <string>
#include <vector>

// Physical disk numbers. Disk N is the N-th whole disk with media under /sys/block in natural name
// order (sda, sdb, ..., sdz, sdaa); SALVORA_DISK_MAP ("0=/path/a.img,1=/dev/loop3") replaces that
// list, so tests can treat partitioned image files as disks.
namespace salvora::platform {

// Whole-disk device paths ("/dev/sda") found below sysBlockRoot, in natural order.
std::vector<std::string> ListWholeDisks(const std::string& sysBlockRoot = "/sys/block",
                                        const std::string& devRoot = "/dev");
// The folder of the system's device paths ("/dev"; "//." on Windows).
std::string DeviceFolder();
// The device path of disk number n, honouring SALVORA_DISK_MAP. Returns 0 or a platform error
// (no such device) when n is not a known disk.
int DiskDevicePath(int number, std::string& path);
// Every disk number with its path, in number order.
std::vector<std::pair<int, std::string>> ListDisks();
// Natural name order: runs of digits compare by value, runs of letters by length, then bytes.
bool NaturalLess(const std::string& a, const std::string& b);

}  // namespace salvora::platform
