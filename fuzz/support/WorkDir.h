#pragma once

#include <string>

// The scratch folder of a fuzz target: memory-backed when /dev/shm exists, made once per process,
// removed at exit. Engines keep their scan logs below it (SALVORA_DATA_DIR points there).
namespace salvora::fuzz {

const std::string& WorkDir();

// A fresh scan session for one input, removed with its logs when the input is done. Engines that
// write logs must be gone before it ends.
class ScopedSession {
 public:
  ScopedSession();
  ~ScopedSession();
  ScopedSession(const ScopedSession&) = delete;
  ScopedSession& operator=(const ScopedSession&) = delete;
};

}  // namespace salvora::fuzz
