#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/RawSource.h"

// An Expert Witness image (.E01/.Ex01 and the segments that follow it) read through libewf as the
// media it holds. Read-only. A chunk whose checksum fails (or that a cut set lacks) reads as an
// unreadable area, as a bad sector of the medium would: libewf would hand its bytes over as if
// whole. The areas met are added to the path's known unreadable areas.
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
  // The bad chunks among the bytes of [offset, offset + length) that libewf reported since the
  // last call, merged into bad_. Called under lock_.
  void TakeChecksumErrors();
  // length clipped to end before the first bad chunk at or after offset; 0 when offset is in one.
  size_t ReadableLength(uint64_t offset, size_t length) const;

  std::string path_;
  std::mutex lock_;  // one libewf handle serves every thread of the engines
  uint64_t mediaBytes_ = 0;
  uint32_t bytesPerSector_ = 512;
  uint32_t errorsSeen_ = 0;
  std::vector<std::pair<uint64_t, uint64_t>> bad_;  // [start, end) bytes of failed chunks
};

}  // namespace salvora::platform
