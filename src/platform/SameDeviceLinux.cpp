#include "platform/SameDevice.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "platform/FreeSpace.h"
#include "platform/MountTable.h"
#include "platform/SysfsBlock.h"

namespace salvora::platform {
namespace {

constexpr int kMaxDepth = 8;

struct SourceIdentity {
  bool isFile = false;
  dev_t fileDevice = 0;
  ino_t fileInode = 0;
  std::string deviceName;  // sysfs name of the source block device
  bool deviceIsPartition = false;
};

bool Overlaps(uint64_t aStart, uint64_t aLength, uint64_t bStart, uint64_t bLength) {
  if (aLength == 0 || bLength == 0) return true;
  return aStart < bStart + bLength && bStart < aStart + aLength;
}

class Resolver {
 public:
  Resolver(const SourceSpan& span, const SourceIdentity& source, const DeviceRoots& roots)
      : span_(span), source_(source), roots_(roots), mounts_(ReadMountTable(roots.mountInfo)) {}

  bool LivesOn(dev_t device, int depth) {
    if (depth > kMaxDepth) return true;  // a chain this deep is suspicious: refuse rather than risk it
    SysfsDeviceInfo info;
    if (!DescribeDevice(roots_.sysfs, major(device), minor(device), info)) return FuseSource(device, depth);
    if (!source_.isFile && !source_.deviceName.empty()) {
      if (info.name == source_.deviceName) return true;
      if (!source_.deviceIsPartition && info.diskName == source_.deviceName)
        return !info.isPartition ||
               Overlaps(info.startByte, info.lengthBytes, span_.startByte, span_.lengthBytes);
    }
    for (const auto& slave : info.slaves) {
      unsigned ma = 0, mi = 0;
      if (DeviceNumberOf(roots_.sysfs, slave, ma, mi) && LivesOn(makedev(ma, mi), depth + 1)) return true;
    }
    if (!info.loopBackingFile.empty()) return BackingFileOnSource(info, depth);
    return false;
  }

  bool BackingFileOnSource(const SysfsDeviceInfo& loop, int depth) {
    struct stat st {};
    if (::stat(loop.loopBackingFile.c_str(), &st) != 0) return false;
    if (S_ISBLK(st.st_mode)) {
      // A loop over the source disk itself covers only its own window of it.
      SysfsDeviceInfo backing;
      if (!source_.isFile && !source_.deviceIsPartition &&
          DescribeDevice(roots_.sysfs, major(st.st_rdev), minor(st.st_rdev), backing) &&
          backing.name == source_.deviceName)
        return Overlaps(loop.loopOffset, loop.lengthBytes, span_.startByte, span_.lengthBytes);
      return LivesOn(st.st_rdev, depth + 1);
    }
    if (source_.isFile && st.st_dev == source_.fileDevice && st.st_ino == source_.fileInode) return true;
    return LivesOn(st.st_dev, depth + 1);
  }

 private:
  // Anonymous device numbers (FUSE, ntfs-3g) lead to the mount's source: a device, or an image
  // file that may itself be the source or live on it.
  bool FuseSource(dev_t device, int depth) {
    for (const auto& m : mounts_) {
      if (m.major != major(device) || m.minor != minor(device) || m.source.rfind('/', 0) != 0) continue;
      struct stat st {};
      if (::stat(m.source.c_str(), &st) != 0) continue;
      if (S_ISBLK(st.st_mode) && st.st_rdev != device) return LivesOn(st.st_rdev, depth + 1);
      if (S_ISREG(st.st_mode)) {
        if (source_.isFile && st.st_dev == source_.fileDevice && st.st_ino == source_.fileInode) return true;
        if (st.st_dev != device) return LivesOn(st.st_dev, depth + 1);
      }
    }
    return false;
  }

  const SourceSpan& span_;
  const SourceIdentity& source_;
  const DeviceRoots& roots_;
  std::vector<MountEntry> mounts_;
};

}  // namespace

bool SameDevice(const std::string& path, const SourceSpan& source, const DeviceRoots& roots) {
  SourceIdentity identity;
  struct stat src {};
  if (::stat(source.diskPath.c_str(), &src) != 0) return false;
  if (S_ISBLK(src.st_mode)) {
    SysfsDeviceInfo info;
    if (DescribeDevice(roots.sysfs, major(src.st_rdev), minor(src.st_rdev), info)) {
      identity.deviceName = info.name;
      identity.deviceIsPartition = info.isPartition;
    }
  } else {
    identity.isFile = true;
    identity.fileDevice = src.st_dev;
    identity.fileInode = src.st_ino;
  }
  Resolver resolver(source, identity, roots);

  struct stat dst {};
  std::string target = ExistingAncestor(path);
  if (::stat(target.c_str(), &dst) != 0) return false;
  if (S_ISBLK(dst.st_mode)) {
    // Writing to a device node writes to that device.
    if (!identity.isFile && dst.st_rdev == src.st_rdev) return true;
    return resolver.LivesOn(dst.st_rdev, 0);
  }
  if (identity.isFile && dst.st_dev == src.st_dev && dst.st_ino == src.st_ino) return true;
  return resolver.LivesOn(dst.st_dev, 0);
}

}  // namespace salvora::platform
