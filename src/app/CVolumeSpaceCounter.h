#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

#include "app/DiskSource.h"

namespace salvora::app {

// Counts the free space of unmounted volumes on a worker thread, one after another, so that a
// large table or bitmap never holds up the window. Each result comes back on the interface thread
// with the tag it was asked under; the worker touches no widget. Cancel drops what is queued and
// every result not yet delivered.
class CVolumeSpaceCounter : public QObject {
  Q_OBJECT

 public:
  // known false: the volume's structures could not be counted.
  using Counted = std::function<void(quint64 tag, bool known, uint64_t freeBytes)>;

  // disks must outlive this object: the worker opens disks through it.
  CVolumeSpaceCounter(IDiskSource& disks, Counted counted);
  ~CVolumeSpaceCounter() override;

  // Queues the count of one volume.
  void Count(quint64 tag, const DiskSourceEntry& entry);
  // Stops the count under way, waits for the worker and forgets the rest.
  void Cancel();

 private:
  void Work(unsigned generation);
  bool Next(std::pair<quint64, DiskSourceEntry>& job);

  IDiskSource& disks_;
  Counted counted_;
  std::mutex lock_;
  std::deque<std::pair<quint64, DiskSourceEntry>> queue_;  // under lock_
  bool working_ = false;                                   // under lock_
  std::thread worker_;
  std::atomic<bool> stop_{false};
  unsigned generation_ = 0;  // interface thread only
};

}  // namespace salvora::app
