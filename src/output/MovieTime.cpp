#include "output/MovieTime.h"

#include "output/IsoBoxFile.h"
#include "platform/ByteView.h"
#include "platform/Clock.h"
#include "platform/FileDescriptor.h"
#include "platform/FileIo.h"
#include "platform/FileStatus.h"

namespace salvora {
namespace {

// Seconds from 1904-01-01, where MP4 times count from, to 1970-01-01.
constexpr uint64_t kMacEpochToUnix = 2082844800;
// Later than 2200 is no camera's clock.
constexpr uint64_t kLatestUnix = 7258118400;

}  // namespace

uint64_t ReadMovieCreationTime(const std::string& path) {
  const int fd = platform::OpenFile(path, O_RDONLY);
  if (fd < 0) return 0;
  platform::FileStatus st;
  uint64_t result = 0;
  IsoBox moov, mvhd;
  if (platform::StatFile(fd, st) == 0 && FindIsoBox(fd, 0, st.size, "moov", moov) &&
      FindIsoBox(fd, moov.BodyStart(), moov.End(), "mvhd", mvhd)) {
    uint8_t body[12] = {};
    int error = 0;
    const long long got = platform::ReadUpTo(fd, body, sizeof body, mvhd.BodyStart(), &error);
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
