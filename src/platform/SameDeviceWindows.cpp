#include "platform/SameDevice.h"

#include <windows.h>

#include <cstdlib>

#include "platform/FileStatus.h"
#include "platform/FreeSpace.h"
#include "platform/WindowsPath.h"
#include "platform/WindowsVolumes.h"

namespace salvora::platform {
namespace {

bool Overlaps(uint64_t aStart, uint64_t aLength, uint64_t bStart, uint64_t bLength) {
  return aStart < bStart + bLength && bStart < aStart + aLength;
}

// The disk number of a "\\.\PhysicalDriveN" path; false for any other path.
bool DiskNumberIn(const std::string& path, uint32_t& disk) {
  static const std::string kPrefix = "PhysicalDrive";
  const size_t at = path.find(kPrefix);
  if (at == std::string::npos || path.size() == at + kPrefix.size()) return false;
  disk = uint32_t(std::strtoul(path.c_str() + at + kPrefix.size(), nullptr, 10));
  return true;
}

}  // namespace

// The destination's volume root, then the pieces of disk that volume lies on, compared with the
// source's stretch of its disk. An image file as the source: the same file.
bool SameDevice(const std::string& path, const SourceSpan& source, const DeviceRoots&) {
  uint32_t disk = 0;
  if (!DiskNumberIn(source.diskPath, disk)) {
    FileStatus a, b;
    return StatPath(ExistingAncestor(path), a) == 0 && StatPath(source.diskPath, b) == 0 && a.SameObjectAs(b);
  }
  wchar_t root[MAX_PATH + 1] = {};
  if (!GetVolumePathNameW(WidePath(ExistingAncestor(path)).c_str(), root, MAX_PATH + 1)) return false;
  const std::string rootText = Utf8Path(root);
  for (const WindowsVolume& volume : ListWindowsVolumes()) {
    if (_stricmp(volume.root.c_str(), rootText.c_str()) != 0) continue;
    for (const DiskExtent& extent : volume.extents) {
      if (extent.diskNumber != disk) continue;
      if (source.lengthBytes == 0 ||
          Overlaps(extent.startByte, extent.lengthBytes, source.startByte, source.lengthBytes))
        return true;
    }
  }
  return false;
}

}  // namespace salvora::platform
