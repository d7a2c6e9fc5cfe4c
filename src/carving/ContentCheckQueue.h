#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "scan/ContentVerdict.h"

namespace salvora {

// Checks written files' content on worker threads (one per core), so a recovery writes the next
// file while the last ones are being decoded (the check reads only the written file, never the
// source). Verdicts come back in submission order.
class ContentCheckQueue {
 public:
  // How many written files a recovery lets wait for their check before it finishes the oldest:
  // enough that decoding one large photo does not hold up the copies behind it.
  static constexpr size_t kFilesBehind = 32;

  // workers 0: one per core.
  explicit ContentCheckQueue(unsigned workers = 0);
  ~ContentCheckQueue();  // waits for the checks under way; unanswered submissions are dropped
  ContentCheckQueue(const ContentCheckQueue&) = delete;
  ContentCheckQueue& operator=(const ContentCheckQueue&) = delete;

  // How many checks run at once.
  size_t Workers() const { return workers_.size(); }
  // Queues the file at path for CheckFileContent.
  void Submit(std::string path);
  // The verdict on the oldest submission not yet taken, waiting for it when needed; not
  // checked when nothing was submitted.
  ContentVerdict Take();

 private:
  struct Job {
    std::string path;
    ContentVerdict verdict;
    bool done = false;
  };
  // A job stays where it is in the deque while it is checked: only finished jobs are popped, from
  // the front, which moves no other element.
  void Work();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> jobs_;  // submitted and not taken, oldest first
  size_t nextToCheck_ = 0;  // index into jobs_ of the first job no worker has taken
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace salvora
