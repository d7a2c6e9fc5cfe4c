#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "platform/RawSource.h"

// An Expert Witness image (.E01/.Ex01 and the segments that follow it) read through libewf as the
// media it holds. Read-only.
namespace salvora::platform {

class EwfSource : public RawSource {
 public:
  EwfSource();
  ~EwfSource() override;
  EwfSource(const EwfSource&) = delete;
  EwfSource& operator=(const EwfSource&) = delete;

  // Opens the first segment's path and every segment beside it. Returns 0 or a platform error
  // (EINVAL when libewf cannot make sense of the files).
  int Open(const std::string& firstSegment);
  long long ReadAt(void* buffer, size_t length, uint64_t offset, int* error) override;
  long long ByteLength(int* error) override;

  // True for the names libewf's segments start with: .E01, .Ex01, .s01 (any case).
  static bool HasEwfName(const std::string& path);

 private:
  struct Handle;
  std::unique_ptr<Handle> handle_;
  std::mutex lock_;  // one libewf handle serves every thread of the engines
  uint64_t mediaBytes_ = 0;
};

}  // namespace salvora::platform
