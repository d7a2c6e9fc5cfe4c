#include "platform/MountInfo.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>

#include "platform/MountTable.h"
#include "platform/PlatformError.h"

namespace salvora::platform {
namespace fs = std::filesystem;

std::string MountPointOf(std::string_view text, unsigned major, unsigned minor) {
  for (const MountEntry& mount : ParseMountInfo(std::string(text)))
    if (mount.major == major && mount.minor == minor) return mount.mountPoint;
  return {};
}

std::string MountPointOfDevice(const std::string& devicePath) {
  struct stat st {};
  if (::stat(devicePath.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return {};
  for (const MountEntry& mount : ReadMountTable())
    if (mount.major == ::major(st.st_rdev) && mount.minor == ::minor(st.st_rdev)) return mount.mountPoint;
  return {};
}

int MountedFreeBytes(const std::string& mountPoint, uint64_t& freeBytes) {
  struct statvfs vfs {};
  if (::statvfs(mountPoint.c_str(), &vfs) != 0) return LastError();
  freeBytes = uint64_t(vfs.f_bfree) * uint64_t(vfs.f_frsize);
  return 0;
}

std::string PartitionDevicePath(const std::string& diskPath, uint64_t startSector,
                                const std::string& sysBlockRoot) {
  if (diskPath.rfind("/dev/", 0) != 0) return {};
  if (startSector == 0) return diskPath;
  std::string disk = fs::path(diskPath).filename().string();
  uint64_t logical = 512;
  {
    std::ifstream in(fs::path(sysBlockRoot) / disk / "queue" / "logical_block_size");
    uint64_t value = 0;
    if (in >> value && value >= 512 && value % 512 == 0) logical = value;
  }
  // sysfs gives partition starts in 512-byte units whatever the disk's sector size.
  const uint64_t wanted = startSector * (logical / 512);
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(fs::path(sysBlockRoot) / disk, ec)) {
    std::ifstream in(entry.path() / "start");
    uint64_t start = 0;
    if (in >> start && start == wanted) return "/dev/" + entry.path().filename().string();
  }
  return {};
}

}  // namespace salvora::platform
