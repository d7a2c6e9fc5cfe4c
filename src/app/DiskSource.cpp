#include "app/DiskSource.h"

#include "app/VolumeSpace.h"
#include "platform/DiskMap.h"
#include "platform/SysfsBlock.h"
#include "storage/DiskEnumerator.h"

namespace salvora::app {

void IDiskSource::FindRemoved(const std::vector<DiskSourceEntry>& old, std::vector<DiskSourceEntry>& removed) {
  std::vector<DiskSourceEntry> now;
  ListAll(now);
  for (const DiskSourceEntry& entry : old) {
    bool present = false;
    for (const DiskSourceEntry& e : now) {
      if (e.diskNumber == entry.diskNumber && e.start == entry.start) {
        present = true;
        break;
      }
    }
    if (!present) removed.push_back(entry);
  }
}

int IDiskSource::OpenDiskReader(const DiskSourceEntry& entry, SectorReader& reader) {
  if (!entry.diskPath.empty()) return reader.OpenFile(entry.diskPath);
  return reader.OpenDisk(static_cast<int>(entry.diskNumber));
}

int IDiskSource::QueryDiskLength(uint32_t diskNumber, uint64_t& bytes) {
  DiskEnumerator enumerator;
  return enumerator.QueryDiskLength(static_cast<int>(diskNumber), bytes);
}

std::string IDiskSource::DevicesSignature() {
  std::string signature;
  for (const std::string& path : platform::ListWholeDisks()) {
    const std::string name = path.substr(path.rfind('/') + 1);
    platform::SysfsDisk disk;
    if (!platform::ReadSysfsDisk("/sys", name, disk)) continue;
    // A card put into a reader changes the reader's size and partitions, not its name.
    signature += name + ":" + std::to_string(disk.size512);
    for (const platform::SysfsPartition& part : disk.partitions) signature += "," + part.name;
    signature += ";";
  }
  return signature;
}

DestinationFacts IDiskSource::DestinationFactsFor(const std::string& path, const DiskSourceEntry& source) {
  return GatherDestinationFacts(path, source);
}

namespace {

// The machine's disks as disk discovery finds them; a fresh enumerator for every refresh.
class SystemDiskSource : public IDiskSource {
 public:
  int ListAll(std::vector<DiskSourceEntry>& entries) override {
    DiskEnumerator enumerator;
    const int ok = enumerator.Refresh();
    enumerator.ListAll(entries);
    ForgetUnmountedSpace(entries);
    return ok;
  }
  bool IsRemovableDisk(uint32_t diskNumber) override {
    DiskEnumerator enumerator;
    return enumerator.IsRemovableDisk(static_cast<int>(diskNumber));
  }
  void FindRemoved(const std::vector<DiskSourceEntry>& old, std::vector<DiskSourceEntry>& removed) override {
    DiskEnumerator enumerator;
    enumerator.FindRemoved(old, removed);
  }
};

}  // namespace

std::unique_ptr<IDiskSource> MakeSystemDiskSource() { return std::make_unique<SystemDiskSource>(); }

}  // namespace salvora::app
