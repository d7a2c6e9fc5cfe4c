#include "platform/WindowsVolumes.h"

#include <algorithm>
#include <set>

namespace salvora::platform {

std::vector<WindowsVolume> VolumesFromMountPoints(const std::vector<MountPointAnswer>& points) {
  std::vector<WindowsVolume> volumes;
  std::set<std::string> seen;
  // Letters first, so that a volume with a letter is listed by it.
  for (int pass = 0; pass < 2; ++pass) {
    for (const MountPointAnswer& point : points) {
      if (point.device.find("Harddisk") == std::string::npos && point.device.find("CdRom") == std::string::npos &&
          point.device.find("Floppy") == std::string::npos)
        continue;
      const char letter = DriveLetterOf(point.link);
      const bool guid = point.link.rfind("\\??\\Volume{", 0) == 0;
      if ((pass == 0 && !letter) || (pass == 1 && !guid) || !seen.insert(point.device).second) continue;
      WindowsVolume volume;
      volume.letter = letter;
      if (letter) {
        volume.devicePath = std::string("\\\\.\\") + letter + ":";
        volume.root = std::string(1, letter) + ":\\";
      } else {
        volume.devicePath = "\\\\?\\" + point.link.substr(4);
        volume.root = volume.devicePath + "\\";
      }
      volumes.push_back(volume);
    }
  }
  return volumes;
}

}  // namespace salvora::platform
