#include "platform/SourceLayers.h"

#include <fcntl.h>
#include <linux/loop.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <vector>

#include "platform/SysfsBlock.h"

namespace salvora::platform {
namespace {

constexpr int kMaxDepth = 8;

struct Layer {
  bool isFile = false;
  dev_t device = 0;  // a file's file system, or the device itself
  ino_t inode = 0;
  std::string what;
};

class Layers {
 public:
  explicit Layers(const DeviceRoots& roots) : roots_(roots) {}

  void AddPath(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return;
    if (S_ISBLK(st.st_mode))
      AddDevice(st.st_rdev, "", 0);
    else if (S_ISREG(st.st_mode))
      layers_.push_back({true, st.st_dev, st.st_ino, ""});
  }

  const Layer* Find(const struct stat& st) const {
    for (const Layer& layer : layers_) {
      if (layer.isFile ? S_ISREG(st.st_mode) && st.st_dev == layer.device && st.st_ino == layer.inode
                       : S_ISBLK(st.st_mode) && st.st_rdev == layer.device)
        return &layer;
    }
    return nullptr;
  }

 private:
  void AddDevice(dev_t device, const std::string& what, int depth) {
    for (const Layer& layer : layers_)
      if (!layer.isFile && layer.device == device) return;
    layers_.push_back({false, device, 0, what});
    SysfsDeviceInfo info;
    if (depth > kMaxDepth || !DescribeDevice(roots_.sysfs, major(device), minor(device), info)) return;
    const std::string node = "/dev/" + info.name;
    if (info.isPartition) AddNamed(info.diskName, "the disk /dev/" + info.diskName + " holding " + node, depth);
    for (const auto& slave : info.slaves) AddNamed(slave, "/dev/" + slave + " under " + node, depth);
    if (!info.loopBackingFile.empty()) AddBacking(info, device, node, depth);
  }

  void AddNamed(const std::string& name, const std::string& what, int depth) {
    unsigned ma = 0, mi = 0;
    if (DeviceNumberOf(roots_.sysfs, name, ma, mi)) AddDevice(makedev(ma, mi), what, depth + 1);
  }

  // The file behind a loop device, by the name the kernel keeps for it and by the identity the
  // loop device reports (which holds even when that file was renamed or its name was reused).
  void AddBacking(const SysfsDeviceInfo& info, dev_t loop, const std::string& node, int depth) {
    const std::string what = "the file behind " + node;
    struct stat st {};
    if (::stat(info.loopBackingFile.c_str(), &st) == 0) {
      if (S_ISBLK(st.st_mode))
        AddDevice(st.st_rdev, "the device behind " + node, depth + 1);
      else
        layers_.push_back({true, st.st_dev, st.st_ino, what + " (" + info.loopBackingFile + ")"});
    }
    const int fd = ::open(node.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return;
    struct stat self {};
    loop_info64 status {};
    if (::fstat(fd, &self) == 0 && S_ISBLK(self.st_mode) && self.st_rdev == loop &&
        ::ioctl(fd, LOOP_GET_STATUS64, &status) == 0) {
      const dev_t device = makedev(major(dev_t(status.lo_device)), minor(dev_t(status.lo_device)));
      bool known = false;
      for (const Layer& layer : layers_) known = known || (layer.isFile && layer.device == device &&
                                                           layer.inode == ino_t(status.lo_inode));
      if (!known) layers_.push_back({true, device, ino_t(status.lo_inode), what});
    }
    ::close(fd);
  }

  const DeviceRoots& roots_;
  std::vector<Layer> layers_;
};

}  // namespace

bool IsSourceItself(const std::string& path, const std::string& sourcePath, std::string& how,
                    const DeviceRoots& roots) {
  how.clear();
  struct stat target {}, source {};
  if (::stat(path.c_str(), &target) != 0 || ::stat(sourcePath.c_str(), &source) != 0) return false;
  Layers ofSource(roots);
  ofSource.AddPath(sourcePath);
  if (const Layer* found = ofSource.Find(target)) {
    if (!found->what.empty()) how = path + " is " + found->what;
    return true;
  }
  // A device node over the source (a loop device on the image being read) writes it too.
  if (!S_ISBLK(target.st_mode)) return false;
  Layers ofTarget(roots);
  ofTarget.AddPath(path);
  if (const Layer* found = ofTarget.Find(source)) {
    how = "the source is " + (found->what.empty() ? path : found->what);
    return true;
  }
  return false;
}

}  // namespace salvora::platform
