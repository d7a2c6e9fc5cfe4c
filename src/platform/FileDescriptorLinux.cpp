#include "platform/FileDescriptor.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace salvora::platform {

int OpenFile(const std::string& path, int flags, int mode) {
  return ::open(path.c_str(), flags | O_CLOEXEC, mode);
}

int MakeTempFile(std::string& pattern) { return ::mkostemp(pattern.data(), O_CLOEXEC); }

int CloseFile(int fd) { return ::close(fd); }

long long ReadAtOffset(int fd, void* buffer, size_t length, uint64_t offset) {
  return ::pread(fd, buffer, length, off_t(offset));
}

long long WriteAtOffset(int fd, const void* data, size_t length, uint64_t offset) {
  return ::pwrite(fd, data, length, off_t(offset));
}

long long ReadSome(int fd, void* buffer, size_t length) { return ::read(fd, buffer, length); }

long long WriteSome(int fd, const void* data, size_t length) { return ::write(fd, data, length); }

int SyncFileData(int fd) { return ::fdatasync(fd); }

int SyncFile(int fd) { return ::fsync(fd); }

int TruncateFile(int fd, uint64_t length) { return ::ftruncate(fd, off_t(length)); }

int TruncatePath(const std::string& path, uint64_t length) { return ::truncate(path.c_str(), off_t(length)); }

int SetFileMode(int fd, int mode) { return ::fchmod(fd, mode_t(mode)); }

}  // namespace salvora::platform
