#include "cli/SourceEntry.h"

#include <algorithm>

#include "cli/UserText.h"
#include "platform/DiskMap.h"
#include "platform/FileStatus.h"
#include "platform/PlatformError.h"
#include "platform/PrivilegedOpen.h"
#include "platform/RawSource.h"
#include "storage/DiskEnumerator.h"

namespace salvora::cli {
namespace {

const char* UnsupportedKind(const std::string& path) {
  using Kind = platform::FileStatus::Kind;
  platform::FileStatus st;
  if (platform::StatPath(path, st) != 0 || st.IsRegular() || st.IsBlockDevice()) return nullptr;
  if (st.kind == Kind::Fifo) return "a FIFO";
  if (st.kind == Kind::CharDevice) return "a character device";
  if (st.kind == Kind::Socket) return "a socket";
  if (st.IsFolder()) return "a folder";
  return "not a file";
}

}  // namespace

bool CheckSourceKind(const SourceArgument& spec, const std::string& label, std::string& error) {
  std::string path = spec.path;
  if (spec.kind != SourceArgument::Kind::Image && spec.kind != SourceArgument::Kind::Volume &&
      platform::DiskDevicePath(spec.number, path) != 0)
    return true;
  const char* kind = spec.kind == SourceArgument::Kind::Volume ? nullptr : UnsupportedKind(path);
  if (!kind) return true;
  error = "cannot read " + label + ": " + (path == label ? "it" : path) + " is " + kind +
          "; a source is an image file or a block device";
  return false;
}

bool ResolveDeviceEntry(const std::string& path, VolumeEntry& entry, std::string& error) {
  entry = VolumeEntry{};
  platform::FileSource disk;
  platform::DiskGeometry geometry;
  int rc = disk.Open(path);
  if (rc == 0) rc = disk.QueryGeometry(geometry);
  if (rc != 0) {
    error = "cannot open " + path + ": " + platform::OpenErrorText(path, rc);
    return false;
  }
  int lengthError = 0;
  entry.kind = VolumeEntry::Kind::WholeDisk;
  entry.diskPath = path;
  entry.bytesPerSector = geometry.bytesPerSector;
  entry.length = uint64_t(std::max(0LL, disk.ByteLength(&lengthError))) / geometry.bytesPerSector;
  entry.totalBytes = entry.length * entry.bytesPerSector;
  return true;
}

bool ResolveSourceEntry(const SourceArgument& spec, VolumeEntry& entry, std::string& error) {
  entry = VolumeEntry{};
  if (spec.kind == SourceArgument::Kind::Image) {
    entry.kind = VolumeEntry::Kind::WholeDisk;
    entry.diskPath = spec.path;
    return true;
  }
  if (spec.kind == SourceArgument::Kind::Volume) {
    DiskEnumerator enumerator;
    enumerator.Refresh();
    for (VolumeEntry e; enumerator.NextEntry(e);)
      if (e.Number() == spec.number) {
        entry = e;
        return true;
      }
    error = "no source volume:" + std::to_string(spec.number) + " (see salvora-cli sources)";
    return false;
  }
  std::string path;
  if (platform::DiskDevicePath(spec.number, path) != 0) {
    error = "no disk " + std::to_string(spec.number) + " (see salvora-cli sources)";
    return false;
  }
  if (!CheckSourceKind(spec, "disk:" + std::to_string(spec.number), error)) return false;
  if (!ResolveDeviceEntry(path, entry, error)) return false;
  entry.diskNumber = uint32_t(spec.number);
  if (spec.kind == SourceArgument::Kind::DiskRange) {
    const uint64_t sectors = entry.length;
    if (spec.start > sectors || spec.count > sectors - spec.start) {
      error = "sectors " + std::to_string(spec.start) + "+" + std::to_string(spec.count) +
              " lie past the end of disk " + std::to_string(spec.number) + " (" + std::to_string(sectors) +
              " sectors)";
      return false;
    }
    entry.kind = VolumeEntry::Kind::Gap;
    entry.start = spec.start;
    entry.length = spec.count;
  }
  entry.totalBytes = entry.length * entry.bytesPerSector;
  return true;
}

}  // namespace salvora::cli
