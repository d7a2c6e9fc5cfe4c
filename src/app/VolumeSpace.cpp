#include "app/VolumeSpace.h"

#include <cerrno>
#include <memory>

#include "platform/PlatformError.h"
#include "recovery/EngineTable.h"

namespace salvora::app {

namespace {

// The disk as the count reads it: each read fails once the count is to stop, so the counters
// (which know no cancel) give up within a read.
class StoppableSource : public platform::RawSource {
 public:
  StoppableSource(platform::RawSource& inner, const std::atomic<bool>& stop) : inner_(inner), stop_(stop) {}
  long long ReadAt(void* buffer, size_t length, uint64_t offset, int* error) override {
    if (stop_) {
      if (error) *error = platform::FromErrno(ECANCELED);
      return -1;
    }
    return inner_.ReadAt(buffer, length, offset, error);
  }
  long long ByteLength(int* error) override { return inner_.ByteLength(error); }

 private:
  platform::RawSource& inner_;
  const std::atomic<bool>& stop_;
};

}  // namespace

void ForgetUnmountedSpace(std::vector<DiskSourceEntry>& entries) {
  for (DiskSourceEntry& e : entries) {
    if (e.kind == VolumeEntry::Kind::Volume && e.rootPath.empty()) e.freeBytes = e.usedBytes = 0;
  }
}

bool NeedsSpaceCount(const DiskSourceEntry& entry) {
  return entry.kind == VolumeEntry::Kind::Volume && entry.rootPath.empty() && !SpaceKnown(entry);
}

bool CountUnmountedFreeBytes(SectorReader& disk, const DiskSourceEntry& entry, const std::atomic<bool>& stop,
                             uint64_t& freeBytes) {
  if (!disk.Source()) return false;
  SectorReader reader;
  reader.Attach(std::make_unique<StoppableSource>(*disk.Source(), stop), disk.TotalSectors());
  const int sectorSize = static_cast<int>(entry.bytesPerSector);
  for (const EngineEntry* engine : Engines()) {
    if (engine->countFree && engine->countFree(reader, entry.start, entry.length, sectorSize, freeBytes))
      return !stop && freeBytes <= entry.totalBytes;
  }
  return false;
}

void ApplyFreeBytes(DiskSourceEntry& entry, bool counted, uint64_t freeBytes) {
  if (counted && freeBytes <= entry.totalBytes) {
    entry.freeBytes = freeBytes;
    entry.usedBytes = entry.totalBytes - freeBytes;
  } else {
    entry.freeBytes = entry.usedBytes = 0;
  }
}

}  // namespace salvora::app
