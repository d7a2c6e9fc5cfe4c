#include "carving/ContentCheckQueue.h"

#include <algorithm>

#include "carving/CheckContent.h"
#include "scan/ContainFailure.h"

namespace salvora {

ContentCheckQueue::ContentCheckQueue(unsigned workers) {
  if (workers == 0) workers = std::max(1u, std::thread::hardware_concurrency());
  for (unsigned i = 0; i < workers; ++i) workers_.emplace_back([this] { Work(); });
}

ContentCheckQueue::~ContentCheckQueue() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (std::thread& worker : workers_) worker.join();
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
    Job& job = jobs_[nextToCheck_++];
    const std::string path = job.path;
    lock.unlock();
    // A check that fails outright (memory) leaves the file not checked; the recovery goes on.
    const ContentVerdict verdict =
        ContainFailure([&] { return CheckFileContent(path); }, [] { return ContentVerdict::NotChecked(); });
    lock.lock();
    job.verdict = verdict;
    job.done = true;
    changed_.notify_all();
  }
}

}  // namespace salvora
