#pragma once

#include <atomic>
#include <mutex>

namespace salvora::app {

// What a progress window shares with its worker: the lock its callbacks run under (the interface
// thread holds it while the cancel question is open, so the worker pauses), the cancel flag the
// interface thread sets and the done flag the worker sets last. One per window kind.
struct ProgressState {
  std::mutex lock;
  std::atomic<bool> cancel{false};
  std::atomic<bool> done{false};

  void Reset() {
    cancel = false;
    done = false;
  }
};

}  // namespace salvora::app
