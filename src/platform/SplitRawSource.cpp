#include "platform/SplitRawSource.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/FileDescriptor.h"
#include "platform/FileIo.h"
#include "platform/FileNameRules.h"
#include "platform/FileStatus.h"
#include "platform/PathQueries.h"
#include "platform/PlatformError.h"
#include "platform/UnreadableAreas.h"

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

namespace {

// The path of piece number (1-based) of the set whose first piece is firstPiece.
std::string PiecePath(const std::string& firstPiece, int number) {
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, "%03d", number);
  return firstPiece.substr(0, firstPiece.size() - 3) + suffix;
}

// The highest piece number beside firstPiece (one listing of its folder); 0 when none.
int HighestPiece(const std::string& firstPiece) {
  // Windows paths may separate folders with either slash.
  const size_t slash = firstPiece.find_last_of(FileNamesFollowWindowsRules() ? "/\\" : "/");
  const size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
  const std::string folder = nameAt == 0 ? "." : firstPiece.substr(0, nameAt);
  const std::string stem = firstPiece.substr(nameAt, firstPiece.size() - 3 - nameAt);
  int highest = 0;
  std::vector<std::string> names;
  if (FolderNames(folder, names) != 0) return 0;
  for (const std::string& name : names) {
    if (name.size() != stem.size() + 3 || name.compare(0, stem.size(), stem) != 0) continue;
    const char* digits = name.c_str() + stem.size();
    if (!std::isdigit(uint8_t(digits[0])) || !std::isdigit(uint8_t(digits[1])) || !std::isdigit(uint8_t(digits[2])))
      continue;
    highest = std::max(highest, std::atoi(digits));
  }
  return std::min(highest, kMaxPieces);
}

// The size of a regular file, or -1 when it is missing or not one.
long long PieceBytes(const std::string& path) {
  FileStatus st;
  if (StatPath(path, st) != 0 || !st.IsRegular()) return -1;
  return (long long)st.size;
}

}  // namespace

std::string SplitRawSource::SetProblem(const std::string& firstPiece) {
  const int highest = HighestPiece(firstPiece);
  std::vector<long long> sizes;
  for (int number = 1; number <= highest; ++number) sizes.push_back(PieceBytes(PiecePath(firstPiece, number)));
  if (sizes.empty() || sizes[0] < 0) return {};  // opening says what is wrong with the first piece
  const long long nominal = *std::max_element(sizes.begin(), sizes.end() - 1);
  for (int number = 1; number <= highest; ++number) {
    const long long bytes = sizes[size_t(number - 1)];
    if (bytes < 0) return PiecePath(firstPiece, number) + " is missing";
    if (number < highest && bytes < nominal)
      return PiecePath(firstPiece, number) + " is cut short: " + std::to_string(bytes) + " bytes where the others have " +
             std::to_string(nominal);
  }
  return {};
}

int SplitRawSource::Open(const std::string& firstPiece) {
  Close();
  const int highest = std::max(1, HighestPiece(firstPiece));
  // Every piece before the last stands for as many bytes as the longest of them.
  uint64_t nominal = 0;
  for (int number = 1; number < highest; ++number)
    nominal = std::max<uint64_t>(nominal, uint64_t(std::max(0LL, PieceBytes(PiecePath(firstPiece, number)))));
  ByteRanges gaps;
  for (int number = 1; number <= highest; ++number) {
    const std::string path = PiecePath(firstPiece, number);
    Piece piece;
    piece.start = total_;
    piece.fd = OpenFile(path, O_RDONLY);
    if (piece.fd < 0 && (number == 1 || errno != ENOENT)) {
      int rc = LastError();
      Close();
      return rc;
    }
    FileStatus st;
    if (piece.fd >= 0 && (StatFile(piece.fd, st) != 0 || !st.IsRegular())) {
      int rc = st.IsRegular() ? LastError() : FromErrno(EINVAL);
      CloseFile(piece.fd);
      Close();
      return rc;
    }
    const uint64_t bytes = piece.fd >= 0 ? st.size : 0;
    piece.span = number < highest ? nominal : bytes;
    piece.bytes = std::min(bytes, piece.span);
    if (piece.bytes < piece.span) gaps.emplace_back(piece.start + piece.bytes, piece.start + piece.span);
    pieces_.push_back(piece);
    total_ += piece.span;
  }
  AddUnreadableAreas(firstPiece, gaps);
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
    if (within >= it->span) continue;  // an empty piece
    if (within >= it->bytes) {  // a gap: what came before it arrives as a short read
      if (done == 0 && error) *error = FromErrno(EIO);
      return done ? static_cast<long long>(done) : -1;
    }
    const size_t want = size_t(std::min<uint64_t>(length - done, it->bytes - within));
    long long got = ReadUpTo(it->fd, out + done, want, within, error);
    if (got < 0) return done ? static_cast<long long>(done) : -1;
    done += size_t(got);
    // A piece shorter than when it was opened, or one with a gap behind what it holds.
    if (size_t(got) < want || it->bytes < it->span) break;
  }
  return static_cast<long long>(done);
}

}  // namespace salvora::platform
