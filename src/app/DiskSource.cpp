#include "app/DiskSource.h"

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

namespace {

// Until disk discovery is part of the build the machine shows no disks; image files can still
// be loaded and scanned.
class NoDiskSource : public IDiskSource {
 public:
  int ListAll(std::vector<DiskSourceEntry>& entries) override {
    entries.clear();
    return 1;
  }
  bool IsRemovableDisk(uint32_t) override { return false; }
};

}  // namespace

std::unique_ptr<IDiskSource> MakeSystemDiskSource() { return std::make_unique<NoDiskSource>(); }

}  // namespace salvora::app
