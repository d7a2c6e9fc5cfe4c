#include "platform/VolumeFlush.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace salvora::platform {
namespace fs = std::filesystem;

void FlushPartition(const std::string& diskPath, uint64_t startSector, const std::string& sysBlockRoot) {
  std::string target;
  std::string disk = fs::path(diskPath).filename().string();
  std::error_code ec;
  if (diskPath.rfind("/dev/", 0) != 0) return;  // an image file mapped as a disk has no volume
  if (startSector == 0) {
    target = diskPath;
  } else {
    for (const auto& entry : fs::directory_iterator(fs::path(sysBlockRoot) / disk, ec)) {
      std::ifstream in(entry.path() / "start");
      uint64_t start = 0;
      // sysfs counts 512-byte units; only the match matters, not the unit of the caller.
      if (in >> start && start == startSector) {
        target = "/dev/" + entry.path().filename().string();
        break;
      }
    }
  }
  if (target.empty()) return;
  int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace salvora::platform
