#include "carving/ContentCheckQueue.h"

#include "carving/CheckContent.h"
#include "scan/ContainFailure.h"

namespace salvora {

ContentCheckQueue::ContentCheckQueue() : worker_([this] { Work(); }) {}

ContentCheckQueue::~ContentCheckQueue() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

void ContentCheckQueue::Submit(std::string path) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back(Job{std::move(path), ContentVerdict::NotChecked(), false});
  }
  changed_.notify_all();
}

ContentVerdict ContentCheckQueue::Take() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (jobs_.empty()) return ContentVerdict::NotChecked();
  changed_.wait(lock, [this] { return jobs_.front().done; });
  const ContentVerdict verdict = jobs_.front().verdict;
  jobs_.pop_front();
  --nextToCheck_;
  return verdict;
}

void ContentCheckQueue::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || nextToCheck_ < jobs_.size(); });
    if (stopping_) return;
    const std::string path = jobs_[nextToCheck_].path;
    lock.unlock();
    // A check that fails outright (memory) leaves the file not checked; the recovery goes on.
    const ContentVerdict verdict =
        ContainFailure([&] { return CheckFileContent(path); }, [] { return ContentVerdict::NotChecked(); });
    lock.lock();
    // Take() pops only finished jobs, so the one checked is still at nextToCheck_.
    jobs_[nextToCheck_].verdict = verdict;
    jobs_[nextToCheck_].done = true;
    ++nextToCheck_;
    changed_.notify_all();
  }
}

}  // namespace salvora
