
#include <cstdio>
#include <string>

#include "cli/Commands.h"
#include "cli/JsonText.h"
#include "cli/UserText.h"
#include "platform/PlatformError.h"
#include "platform/UserRights.h"
#include "storage/DiskEnumerator.h"
#include "storage/DisplayNames.h"
#include "storage/FormatText.h"

namespace salvora::cli {
namespace {

// The command line has no message catalogue; these are its words for the two kinds of disk.
constexpr const char* kFixedDiskWord = "Disk";
constexpr const char* kRemovableDiskWord = "Removable disk";

const char* KindName(VolumeEntry::Kind kind) {
  switch (kind) {
    case VolumeEntry::Kind::Volume: return "volume";
    case VolumeEntry::Kind::Gap: return "gap";
    case VolumeEntry::Kind::WholeDisk: return "disk";
  }
  return "volume";
}

void PrintJson(DiskEnumerator& enumerator) {
  std::printf("[");
  bool first = true;
  for (const auto& [disk, entries] : enumerator.Map()) {
    bool removable = enumerator.IsRemovableDisk(int(disk));
    for (const auto& e : entries) {
      std::printf("%s\n  {\"number\": %d, \"kind\": \"%s\", \"disk\": %u, \"diskPath\": %s, "
                  "\"diskName\": %s, \"removable\": %s, \"partition\": %s, \"device\": %s, "
                  "\"mountPoint\": %s, \"fileSystem\": %s, \"label\": %s, \"type\": %u, "
                  "\"start\": %llu, \"sectors\": %llu, \"sectorSize\": %u, \"totalBytes\": %llu, "
                  "\"usedBytes\": %llu, \"freeBytes\": %llu, \"source\": %s}",
                  first ? "" : ",", e.Number(), KindName(e.kind), disk, JsonString(e.diskPath).c_str(),
                  JsonString(DiskDisplayName(disk, removable ? kRemovableDiskWord : kFixedDiskWord)).c_str(),
                  removable ? "true" : "false",
                  e.partitionNumber == VolumeEntry::kUnknown || e.kind != VolumeEntry::Kind::Volume
                      ? "null"
                      : std::to_string(e.partitionNumber).c_str(),
                  JsonString(e.devicePath).c_str(), JsonString(e.rootPath).c_str(),
                  JsonString(e.fileSystemName).c_str(), JsonString(e.label).c_str(), unsigned(e.type),
                  (unsigned long long)e.start, (unsigned long long)e.length, e.bytesPerSector,
                  (unsigned long long)e.totalBytes, (unsigned long long)e.usedBytes,
                  (unsigned long long)e.freeBytes, JsonString("volume:" + std::to_string(e.Number())).c_str());
      first = false;
    }
  }
  std::printf("%s]\n", first ? "" : "\n");
}

void PrintTable(DiskEnumerator& enumerator) {
  for (const auto& [disk, entries] : enumerator.Map()) {
    bool removable = enumerator.IsRemovableDisk(int(disk));
    uint64_t diskBytes = 0;
    enumerator.QueryDiskLength(int(disk), diskBytes);
    std::printf("%s: %s, %s%s (disk:%u)\n",
                Shown(DiskDisplayName(disk, removable ? kRemovableDiskWord : kFixedDiskWord)).c_str(),
                Shown(enumerator.DiskPath(int(disk))).c_str(), FormatSize(int64_t(diskBytes)).c_str(),
                removable ? ", removable" : "", disk);
    for (const auto& e : entries) {
      std::string what = e.kind == VolumeEntry::Kind::Volume ? EntryDisplayName(e)
                         : e.kind == VolumeEntry::Kind::Gap  ? std::to_string(e.Number()) + ":\\ (unallocated)"
                                                             : std::to_string(e.Number()) + ":\\ (whole disk)";
      std::printf("  %-24s %-7s %10s", Shown(what).c_str(), Shown(e.fileSystemName).c_str(),
                  FormatSize(int64_t(e.totalBytes)).c_str());
      if (e.kind == VolumeEntry::Kind::Volume && !e.rootPath.empty())
        std::printf("  %10s free", FormatSize(int64_t(e.freeBytes)).c_str());
      std::printf("  %s  [volume:%d, sectors %llu+%llu]\n", Shown(EntryLocationText(e)).c_str(), e.Number(),
                  (unsigned long long)e.start, (unsigned long long)e.length);
    }
  }
}

}  // namespace

int RunSources(const Args& args) {
  bool json = false;
  for (const auto& a : args) {
    if (a == "--json") {
      json = true;
    } else if (a == "--help" || a == "-h") {
      std::printf("usage: salvora-cli sources [--json]\n"
                  "Lists the scan sources of this machine: every volume, every unallocated stretch\n"
                  "larger than a cylinder and every disk without volumes, numbered as volume:K.\n");
      return kExitOk;
    } else {
      std::fprintf(stderr, "salvora-cli sources: unknown option '%s'\n", Shown(a).c_str());
      return kExitBadInput;
    }
  }
  DiskEnumerator enumerator;
  if (enumerator.Refresh() == 0) {
    std::fprintf(stderr, "salvora-cli: cannot read the block devices of this machine\n");
    return kExitBadInput;
  }
  if (json)
    PrintJson(enumerator);
  else
    PrintTable(enumerator);
  for (const auto& [path, rc] : enumerator.Unreadable())
    std::fprintf(stderr, "salvora-cli: skipped %s: %s%s\n", Shown(path).c_str(), ReasonText(rc).c_str(),
                 !platform::MayReadDisks() ? " (reading disks usually needs root)" : "");
  return kExitOk;
}

}  // namespace salvora::cli
