#include "app/CVolumeSpaceCounter.h"

#include "app/VolumeSpace.h"

namespace salvora::app {

CVolumeSpaceCounter::CVolumeSpaceCounter(IDiskSource& disks, Counted counted)
    : disks_(disks), counted_(std::move(counted)) {}

CVolumeSpaceCounter::~CVolumeSpaceCounter() { Cancel(); }

void CVolumeSpaceCounter::Count(quint64 tag, const DiskSourceEntry& entry) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    queue_.emplace_back(tag, entry);
    if (working_) return;
    working_ = true;
  }
  // The last worker found the queue empty and is ending, or there was none.
  if (worker_.joinable()) worker_.join();
  worker_ = std::thread([this, generation = generation_] { Work(generation); });
}

void CVolumeSpaceCounter::Cancel() {
  stop_ = true;
  if (worker_.joinable()) worker_.join();
  {
    std::lock_guard<std::mutex> hold(lock_);
    queue_.clear();
    working_ = false;
  }
  ++generation_;  // counts still queued for delivery are dropped
  stop_ = false;
}

bool CVolumeSpaceCounter::Next(std::pair<quint64, DiskSourceEntry>& job) {
  std::lock_guard<std::mutex> hold(lock_);
  if (queue_.empty() || stop_) {
    working_ = false;
    return false;
  }
  job = std::move(queue_.front());
  queue_.pop_front();
  return true;
}

void CVolumeSpaceCounter::Work(unsigned generation) {
  std::pair<quint64, DiskSourceEntry> job;
  while (Next(job)) {
    const auto& [tag, entry] = job;
    SectorReader disk;
    uint64_t freeBytes = 0;
    const bool known = disks_.OpenDiskReader(entry, disk) == 0 &&
                       CountUnmountedFreeBytes(disk, entry, stop_, freeBytes);
    if (stop_) break;
    QMetaObject::invokeMethod(this, [this, generation, tag = tag, known, freeBytes] {
      if (generation == generation_ && counted_) counted_(tag, known, freeBytes);
    }, Qt::QueuedConnection);
  }
}

}  // namespace salvora::app
