#include "storage/ImageDestination.h"

#include <algorithm>

#include "platform/FileStatus.h"
#include "platform/FreeSpace.h"
#include "platform/PathFileSystem.h"

namespace salvora {

DestinationVerdict CheckImageDestination(const DestinationFacts& facts, uint64_t imageBytes) {
  if (facts.onSource) return DestinationVerdict::OnSource;
  std::string name = facts.fileSystemName.substr(0, 32);
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return char(c >= 'a' && c <= 'z' ? c - 32 : c); });
  // exFAT has no such file-size limit; only the FAT family does.
  const bool fatFamily = name.find("FAT") != std::string::npos && name.find("EXFAT") == std::string::npos;
  if (fatFamily && name.find("FAT32") != std::string::npos && imageBytes > kFat32ImageLimit)
    return DestinationVerdict::Fat32TooLarge;
  if (fatFamily && imageBytes > kFatImageLimit) return DestinationVerdict::FatTooLarge;
  if (facts.freeKnown && facts.freeBytes <= imageBytes) return DestinationVerdict::NotEnoughSpace;
  return DestinationVerdict::Accepted;
}

const char* VerdictMessageId(DestinationVerdict verdict) {
  switch (verdict) {
    case DestinationVerdict::Accepted: return "";
    case DestinationVerdict::OnSource: return "MSG0218";
    case DestinationVerdict::FatTooLarge: return "MSG0219";
    case DestinationVerdict::Fat32TooLarge: return "MSG0220";
    case DestinationVerdict::NotEnoughSpace: return "MSG0221";
  }
  return "";
}

const char* VerdictText(DestinationVerdict verdict) {
  switch (verdict) {
    case DestinationVerdict::Accepted: return "";
    case DestinationVerdict::OnSource:
      return "the destination is on the medium being imaged; choose a folder on another disk";
    case DestinationVerdict::FatTooLarge:
      return "the destination volume is FAT, which cannot hold a file larger than 2 GB";
    case DestinationVerdict::Fat32TooLarge:
      return "the destination volume is FAT32, which cannot hold a file larger than 4 GB";
    case DestinationVerdict::NotEnoughSpace:
      return "the destination volume has not enough free space for the image";
  }
  return "";
}

DestinationFacts GatherDestinationFacts(const std::string& path, const VolumeEntry& source) {
  DestinationFacts facts;
  facts.onSource = SameDevice(path, source);
  platform::PathFileSystemName(path, facts.fileSystemName);
  platform::SpaceInfo space;
  if (platform::QuerySpace(path, space) == 0) {
    facts.freeKnown = true;
    facts.freeBytes = space.freeBytes;
    // An image that replaces an existing file gets that file's space back.
    platform::FileStatus st;
    if (platform::StatPath(path, st) == 0 && st.IsRegular() && st.links == 1)
      facts.freeBytes += st.size;
  }
  return facts;
}

}  // namespace salvora
