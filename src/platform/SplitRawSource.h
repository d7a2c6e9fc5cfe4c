#pragma once

#include <string>
#include <vector>

#include "platform/RawSource.h"

// A raw image cut into numbered pieces (card.001, card.002, ...) read as one. Read-only.
namespace salvora::platform {

class SplitRawSource : public RawSource {
 public:
  SplitRawSource() = default;
  ~SplitRawSource() override;
  SplitRawSource(const SplitRawSource&) = delete;
  SplitRawSource& operator=(const SplitRawSource&) = delete;

  // Opens the .001 piece and every piece numbered after it without a gap. Returns 0 or a
  // platform error.
  int Open(const std::string& firstPiece);
  long long ReadAt(void* buffer, size_t length, uint64_t offset, int* error) override;
  long long ByteLength(int*) override { return static_cast<long long>(total_); }
  size_t Pieces() const { return pieces_.size(); }

  // True for a path ending in ".001".
  static bool HasFirstPieceName(const std::string& path);

 private:
  struct Piece {
    int fd = -1;
    uint64_t start = 0;
    uint64_t bytes = 0;
  };
  void Close();

  std::vector<Piece> pieces_;
  uint64_t total_ = 0;
};

}  // namespace salvora::platform
