#include "platform/PathChanges.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/Clock.h"

namespace salvora::platform {
namespace {

timespec TimeSpecOf(uint64_t fileTime) {
  timespec ts{};
  if (fileTime == 0) {
    ts.tv_nsec = UTIME_OMIT;
    return ts;
  }
  ts.tv_sec = time_t(FileTimeToUnix(fileTime));
  ts.tv_nsec = long((fileTime % 10000000) * 100);
  return ts;
}

}  // namespace

int RemoveFile(const char* path) { return ::unlink(path); }

int MakeFolder(const std::string& path, int mode) { return ::mkdir(path.c_str(), mode_t(mode)); }

int MakeTempFolder(std::string& pattern) { return ::mkdtemp(pattern.data()) ? 0 : -1; }

int HardLink(const std::string& from, const std::string& to) { return ::link(from.c_str(), to.c_str()); }

int RenameExclusive(const std::string& from, const std::string& to) {
  return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
}

int RenameReplacing(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str());
}

int SetFileTimes(const std::string& path, uint64_t accessFileTime, uint64_t writeFileTime) {
  const timespec times[2] = {TimeSpecOf(accessFileTime), TimeSpecOf(writeFileTime)};
  return ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

}  // namespace salvora::platform
