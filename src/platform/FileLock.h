#pragma once

#include <string>

// An exclusive lock on a lock file (flock), shared by every program of the user that opens the
// same file: the command line and the desktop program alike. Held until Release or destruction.
namespace salvora::platform {

class FileLock {
 public:
  FileLock() = default;
  ~FileLock() { Release(); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Creates the file when needed and waits for the lock. A wait broken off by a stop request
  // (Ctrl-C) gives up with the cancelled code. 0 or the error.
  int Acquire(const std::string& path);
  void Release();
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace salvora::platform
