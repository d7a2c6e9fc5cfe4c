#pragma once

#include <memory>
#include <string>

#include "carving/ByteSource.h"

namespace salvora {

// A written file (a recovered file, a staged copy) as a ByteSource, read-only in 1 MiB pieces.
// Limit() is the file's size when it was opened; a file that cannot be opened has limit 0.
class FileByteSource : public ByteSource {
 public:
  static constexpr size_t kPieceBytes = 1 << 20;

  explicit FileByteSource(const std::string& path);
  ~FileByteSource() override;
  FileByteSource(const FileByteSource&) = delete;
  FileByteSource& operator=(const FileByteSource&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  uint64_t Limit() const override { return size_; }
  const uint8_t* Window(uint64_t offset, size_t& available) override;

 private:
  int fd_ = -1;
  uint64_t size_ = 0;
  std::unique_ptr<uint8_t[]> piece_;
  uint64_t pieceStart_ = 0;
  size_t pieceBytes_ = 0;
};

}  // namespace salvora
