#include "platform/SplitRawSource.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/FileDescriptor.h"
#include "platform/FileIo.h"
#include "platform/FileStatus.h"
#include "platform/PlatformError.h"

namespace salvora::platform {
namespace {

constexpr int kMaxPieces = 999;

}  // namespace

SplitRawSource::~SplitRawSource() { Close(); }

void SplitRawSource::Close() {
  for (auto& piece : pieces_)
    if (piece.fd >= 0) CloseFile(piece.fd);
  pieces_.clear();
  total_ = 0;
}

bool SplitRawSource::HasFirstPieceName(const std::string& path) {
  return path.size() > 4 && path.compare(path.size() - 4, 4, ".001") == 0;
}

int SplitRawSource::Open(const std::string& firstPiece) {
  Close();
  const std::string stem = firstPiece.substr(0, firstPiece.size() - 3);
  for (int number = 1; number <= kMaxPieces; ++number) {
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, "%03d", number);
    const std::string path = stem + suffix;
    int fd = OpenFile(path, O_RDONLY);
    if (fd < 0) {
      if (number > 1 && errno == ENOENT) break;  // the pieces end at the first missing number
      int rc = LastError();
      Close();
      return rc;
    }
    FileStatus st;
    const bool statted = StatFile(fd, st) == 0;
    if (!statted || !st.IsRegular()) {
      int rc = !statted ? LastError() : FromErrno(EINVAL);
      CloseFile(fd);
      Close();
      return rc;
    }
    pieces_.push_back({fd, total_, st.size});
    total_ += st.size;
  }
  return 0;
}

long long SplitRawSource::ReadAt(void* buffer, size_t length, uint64_t offset, int* error) {
  if (offset >= total_ || length == 0) return 0;
  // The piece holding offset: the last one starting at or before it.
  auto it = std::upper_bound(pieces_.begin(), pieces_.end(), offset,
                             [](uint64_t at, const Piece& piece) { return at < piece.start; });
  --it;
  auto* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  for (; it != pieces_.end() && done < length; ++it) {
    const uint64_t within = offset + done - it->start;
    if (within >= it->bytes) continue;  // an empty piece
    const size_t want = size_t(std::min<uint64_t>(length - done, it->bytes - within));
    long long got = ReadUpTo(it->fd, out + done, want, within, error);
    if (got < 0) return done ? static_cast<long long>(done) : -1;
    done += size_t(got);
    if (size_t(got) < want) break;  // a piece shorter than when it was opened
  }
  return static_cast<long long>(done);
}

}  // namespace salvora::platform
