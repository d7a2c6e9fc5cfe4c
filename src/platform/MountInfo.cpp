#include "platform/MountInfo.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/PlatformError.h"

namespace salvora::platform {
namespace fs = std::filesystem;
namespace {

// mountinfo writes space, tab, newline and backslash in paths as \ooo octal escapes.
std::string Unescape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && text.size() - i > 3) {
      char a = text[i + 1], b = text[i + 2], c = text[i + 3];
      if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
        out += char((a - '0') * 64 + (b - '0') * 8 + (c - '0'));
        i += 3;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

}  // namespace

std::string MountPointOf(std::string_view text, unsigned major, unsigned minor) {
  const std::string wanted = std::to_string(major) + ":" + std::to_string(minor);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    // Fields: mount id, parent id, major:minor, root, mount point, ...
    std::string_view fields[5];
    size_t field = 0, at = 0;
    while (field < 5 && at <= line.size()) {
      size_t space = line.find(' ', at);
      if (space == std::string_view::npos) space = line.size();
      fields[field++] = line.substr(at, space - at);
      at = space + 1;
    }
    if (field == 5 && fields[2] == wanted) return Unescape(fields[4]);
  }
  return {};
}

std::string MountPointOfDevice(const std::string& devicePath) {
  struct stat st {};
  if (::stat(devicePath.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return {};
  // procfs files report a size of 0, so read it as a stream.
  std::ifstream in("/proc/self/mountinfo");
  std::stringstream all;
  all << in.rdbuf();
  std::string text = all.str();
  return MountPointOf(text, ::major(st.st_rdev), ::minor(st.st_rdev));
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
