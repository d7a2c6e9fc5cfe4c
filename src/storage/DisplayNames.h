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
// The entry's device as Linux names it ("sdb1"). A partition without a node (an image used as a
// disk) is the disk's file name and the partition number, with a "p" between when the name ends
// in a digit, as the kernel names loop0p1. A lettered entry is its letter ("E:"); empty when
// nothing names the entry.
std::string DeviceNameOf(const VolumeEntry& entry);
// A size as lsblk shows it: "64 MB", "13.9 GB", "512 Bytes" (one decimal, none when it is zero).
std::string CompactSize(uint64_t bytes);
// "sdb1 CANON_DC (FAT32, 64 MB)", the label left out when there is none, the running number
// standing in for a device name that is not known.
std::string LinuxVolumeName(const VolumeEntry& entry);
// "Physical Disk %d" with the disk number plus one.
std::string SuggestedDiskImageName(uint32_t diskNumber);

}  // namespace salvora
