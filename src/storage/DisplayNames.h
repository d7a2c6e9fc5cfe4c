#pragma once

#include <string>

#include "storage/VolumeEntry.h"

// The texts under which disks and entries are shown and the names offered for their images. The
// words for a fixed and a removable disk come from the message catalogue, so they are parameters.
namespace salvora {

// "%s %d": the disk word and the disk number plus one.
std::string DiskDisplayName(uint32_t diskNumber, const std::string& diskWord);
// "E:\ LABEL" for a lettered entry, "3:\ LABEL" for a numbered one.
std::string EntryDisplayName(const VolumeEntry& entry);
// Where the entry is on this machine: "/dev/sdb1 on /media/card", "/dev/sdb1", or for a stretch
// without a device node "/dev/sdb sectors 2048-133119".
std::string EntryLocationText(const VolumeEntry& entry);
// "E (FAT32, 7.45 GB)" or "3 (FAT32, 7.45 GB)", without the extension.
std::string SuggestedImageName(const VolumeEntry& entry);
// "Physical Disk %d" with the disk number plus one.
std::string SuggestedDiskImageName(uint32_t diskNumber);

}  // namespace salvora
