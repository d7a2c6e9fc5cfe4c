#include "platform/PathFileSystem.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>

#include "platform/BlockProbe.h"
#include "platform/FreeSpace.h"
#include "platform/MountTable.h"
#include "platform/PlatformError.h"

namespace salvora::platform {
namespace fs = std::filesystem;

int PathFileSystemName(const std::string& path, std::string& name, const std::string& mountInfo) {
  name.clear();
  std::string target = ExistingAncestor(path);
  struct stat st {};
  if (::stat(target.c_str(), &st) != 0) return LastError();
  std::error_code ec;
  std::string canonical = fs::canonical(target, ec).string();
  auto mounts = ReadMountTable(mountInfo);
  const MountEntry* mount = nullptr;
  for (const auto& m : mounts)
    if (m.major == major(st.st_dev) && m.minor == minor(st.st_dev) && (!mount || m.root == "/")) mount = &m;
  if (!mount && !canonical.empty()) mount = FindMountFor(mounts, canonical);
  if (!mount) return 0;
  const std::string& type = mount->fsType;
  // vfat does not tell FAT32 from FAT16, and FUSE hides the file system: ask the device.
  if ((type == "vfat" || type == "msdos" || type == "fuseblk") && mount->source.rfind("/dev/", 0) == 0) {
    FileSystemProbe probe;
    if (ProbeFileSystem(mount->source, 0, 0, probe) == 0 && !probe.type.empty()) {
      name = FileSystemDisplayName(probe.type, probe.version);
      return 0;
    }
  }
  name = type == "fuseblk" ? "" : FileSystemDisplayName(type, "");
  return 0;
}

}  // namespace salvora::platform
