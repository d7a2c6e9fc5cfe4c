#include "output/MovieTime.h"

#include "platform/ByteView.h"
#include "platform/Clock.h"
#include "platform/FileDescriptor.h"
#include "platform/FileIo.h"
#include "platform/FileStatus.h"

namespace salvora {
namespace {

// Seconds from 1904-01-01, where MP4 times count from, to 1970-01-01.
constexpr uint64_t kMacEpochToUnix = 2082844800;
constexpr int kMaxBoxes = 4096;
// Later than 2200 is no camera's clock.
constexpr uint64_t kLatestUnix = 7258118400;

struct Box {
  uint64_t start = 0;
  uint64_t size = 0;
  uint64_t header = 0;
  char type[4] = {};
};

// The box at offset, within [offset, end); false when its header does not fit or lies.
bool ReadBox(int fd, uint64_t offset, uint64_t end, Box& box) {
  uint8_t head[16];
  if (end < offset + 8) return false;
  int error = 0;
  const long long got = platform::ReadUpTo(fd, head, sizeof head, offset, &error);
  if (got < 8) return false;
  ByteView v(head, size_t(got));
  box.start = offset;
  box.header = 8;
  box.size = v.U32Be(0);
  for (int i = 0; i < 4; ++i) box.type[i] = char(v.U8(4 + size_t(i)));
  if (box.size == 1) {
    if (!v.Has(8, 8)) return false;
    box.size = uint64_t(v.U32Be(8)) << 32 | v.U32Be(12);
    box.header = 16;
  } else if (box.size == 0) {
    box.size = end - offset;
  }
  return box.size >= box.header && box.size <= end - offset;
}

bool Is(const Box& box, const char* type) {
  return box.type[0] == type[0] && box.type[1] == type[1] && box.type[2] == type[2] && box.type[3] == type[3];
}

// The first box of type in [start, end), stepping over the others.
bool FindBox(int fd, uint64_t start, uint64_t end, const char* type, Box& found) {
  uint64_t at = start;
  for (int n = 0; n < kMaxBoxes && at < end; ++n) {
    if (!ReadBox(fd, at, end, found)) return false;
    if (Is(found, type)) return true;
    at += found.size;
  }
  return false;
}

}  // namespace

uint64_t ReadMovieCreationTime(const std::string& path) {
  const int fd = platform::OpenFile(path, O_RDONLY);
  if (fd < 0) return 0;
  platform::FileStatus st;
  uint64_t result = 0;
  Box moov, mvhd;
  if (platform::StatFile(fd, st) == 0 && FindBox(fd, 0, st.size, "moov", moov) &&
      FindBox(fd, moov.start + moov.header, moov.start + moov.size, "mvhd", mvhd)) {
    uint8_t body[12] = {};
    int error = 0;
    const long long got = platform::ReadUpTo(fd, body, sizeof body, mvhd.start + mvhd.header, &error);
    ByteView v(body, got > 0 ? size_t(got) : 0);
    // Version 1 holds 64-bit times, version 0 32-bit ones, after the version and flags.
    const uint64_t seconds = v.U8(0) == 1 ? (uint64_t(v.U32Be(4)) << 32 | v.U32Be(8)) : v.U32Be(4);
    if (v.Has(0, v.U8(0) == 1 ? 12 : 8) && seconds > kMacEpochToUnix &&
        seconds - kMacEpochToUnix < kLatestUnix)
      result = platform::UnixToFileTime(int64_t(seconds - kMacEpochToUnix));
  }
  platform::CloseFile(fd);
  return result;
}

}  // namespace salvora
