#pragma once

#include <string>
#include <vector>

#include "platform/RawSource.h"

// A raw image cut into numbered pieces (card.001, card.002, ...) read as one. Read-only. Every
// piece but the last is as long as the longest of them; a piece missing or shorter leaves a gap
// that reads as an unreadable area (and is added to the path's known unreadable areas), so what
// lies behind it keeps its place.
namespace salvora::platform {

class SplitRawSource : public RawSource {
 public:
  SplitRawSource() = default;
  ~SplitRawSource() override;
  SplitRawSource(const SplitRawSource&) = delete;
  SplitRawSource& operator=(const SplitRawSource&) = delete;

  // Opens the .001 piece and every piece numbered after it, up to the highest number beside it.
  // Returns 0 or a platform error.
  int Open(const std::string& firstPiece);
  // What makes the set incomplete, naming the missing or short piece; "" when every piece up to
  // the highest number is there and the pieces before the last are all as long. (A missing last
  // piece leaves no trace.)
  static std::string SetProblem(const std::string& firstPiece);
  long long ReadAt(void* buffer, size_t length, uint64_t offset, int* error) override;
  long long ByteLength(int*) override { return static_cast<long long>(total_); }
  size_t Pieces() const { return pieces_.size(); }

  // True for a path ending in ".001".
  static bool HasFirstPieceName(const std::string& path);

 private:
  struct Piece {
    int fd = -1;         // -1: the piece is missing
    uint64_t start = 0;
    uint64_t bytes = 0;  // readable bytes from start
    uint64_t span = 0;   // bytes of the image the piece stands for
  };
  void Close();

  std::vector<Piece> pieces_;
  uint64_t total_ = 0;
};

}  // namespace salvora::platform
