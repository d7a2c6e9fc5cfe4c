#include "platform/BlockProbe.h"

namespace salvora::platform {

std::string FileSystemDisplayName(const std::string& type, const std::string& version) {
  if (type == "vfat" || type == "msdos") return version == "FAT32" ? "FAT32" : "FAT";
  if (type == "ntfs" || type == "ntfs3") return "NTFS";
  if (type == "exfat") return "exFAT";
  return type;
}

}  // namespace salvora::platform
