#pragma once

#include <string>

#include "support/TestSupport.h"

namespace salvora::test {

// A loop device over an image file for the lifetime of the object. Available() is false where
// the machine gives no loop devices (containers, no root); Why() says what losetup answered.
class LoopDevice {
 public:
  // options: extra losetup options ("-P", "-o 1048576 --sizelimit 4096").
  LoopDevice(const std::string& file, const std::string& options) {
    std::string out;
    int rc = RunCommand("losetup -f --show " + options + " '" + file + "' 2>&1", &out);
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    if (rc == 0 && out.rfind("/dev/loop", 0) == 0)
      device_ = out;
    else
      why_ = out.empty() ? "losetup failed" : out;
  }
  ~LoopDevice() {
    if (!device_.empty()) RunCommand("losetup -d " + device_ + " 2>/dev/null");
  }
  LoopDevice(const LoopDevice&) = delete;
  LoopDevice& operator=(const LoopDevice&) = delete;

  bool Available() const { return !device_.empty(); }
  const std::string& Device() const { return device_; }
  const std::string& Why() const { return why_; }

 private:
  std::string device_;
  std::string why_;
};

// Mounts a device on a folder for the lifetime of the object.
class ScopedMount {
 public:
  ScopedMount(const std::string& device, const std::string& folder, const std::string& options = "")
      : folder_(folder) {
    mounted_ = RunCommand("mount " + options + " '" + device + "' '" + folder + "' 2>/dev/null") == 0;
  }
  // A FUSE mount can still be busy for a moment after its last use; a mount left behind keeps
  // its loop devices attached for good, so try again and then detach it lazily.
  ~ScopedMount() {
    if (!mounted_) return;
    const std::string umount = "umount '" + folder_ + "' 2>/dev/null";
    if (RunCommand(umount) == 0) return;
    if (RunCommand("sleep 0.5; " + umount) == 0) return;
    RunCommand("umount -l '" + folder_ + "' 2>/dev/null");
  }
  bool Mounted() const { return mounted_; }

 private:
  std::string folder_;
  bool mounted_ = false;
};

}  // namespace salvora::test
