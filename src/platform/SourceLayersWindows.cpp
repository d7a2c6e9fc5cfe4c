#include "platform/SourceLayers.h"

#include "platform/FileStatus.h"

namespace salvora::platform {
namespace {

// The storage device number as FileStatusWindows packs it: type, disk, partition (0: whole disk).
uint64_t DiskOf(const FileStatus& st) { return st.deviceNumber >> 8; }
uint64_t PartitionOf(const FileStatus& st) { return st.deviceNumber & 0xFF; }

}  // namespace

// Windows has no loop, device-mapper or md layers; what remains is the file itself, the same
// device reached by another name, and a partition's whole disk.
bool IsSourceItself(const std::string& path, const std::string& sourcePath, std::string& how, const DeviceRoots&) {
  how.clear();
  FileStatus target, source;
  if (StatPath(path, target) != 0 || StatPath(sourcePath, source) != 0) return false;
  if (target.IsBlockDevice() != source.IsBlockDevice()) return false;
  if (!target.IsBlockDevice()) return target.SameObjectAs(source);
  // A device whose number the system did not give is only itself when the paths agree.
  if (target.deviceNumber == 0 || source.deviceNumber == 0) return path == sourcePath;
  if (target.deviceNumber == source.deviceNumber) return true;
  if (DiskOf(target) != DiskOf(source)) return false;
  if (PartitionOf(target) == 0) {
    how = path + " is the disk holding " + sourcePath;
    return true;
  }
  if (PartitionOf(source) == 0) {
    how = "the source is the disk holding " + path;
    return true;
  }
  return false;
}

}  // namespace salvora::platform
