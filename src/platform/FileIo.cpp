#include "platform/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/PlatformError.h"

namespace salvora::platform {

int WriteAllAt(int fd, const void* data, size_t length, uint64_t offset) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (length > 0) {
    ssize_t n = ::pwrite(fd, p, length, static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    if (n == 0) return FromErrno(ENOSPC);
    p += n;
    length -= size_t(n);
    offset += uint64_t(n);
  }
  return 0;
}

long long ReadUpTo(int fd, void* buffer, size_t length, uint64_t offset, int* error) {
  auto* p = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < length) {
    ssize_t n = ::pread(fd, p + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      if (error) *error = LastError();
      return -1;
    }
    if (n == 0) break;
    done += size_t(n);
  }
  return static_cast<long long>(done);
}

int ReadWholeFile(const std::string& path, std::string& out, uint64_t maxBytes) {
  out.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return LastError();
  struct stat st {};
  int rc = 0;
  if (::fstat(fd, &st) != 0) {
    rc = LastError();
  } else {
    uint64_t size = std::min<uint64_t>(uint64_t(st.st_size), maxBytes);
    try {
      out.resize(size);
      long long got = ReadUpTo(fd, out.data(), out.size(), 0, &rc);
      out.resize(got < 0 ? 0 : size_t(got));
    } catch (const std::bad_alloc&) {
      out.clear();
      rc = 8;
    }
  }
  ::close(fd);
  return rc;
}

int MakeFolders(const std::string& path) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  if (ec) return FromErrno(ec.value());
  if (!std::filesystem::is_directory(path, ec)) return FromErrno(ENOTDIR);
  return 0;
}

std::string ResolvedPath(const std::string& path) {
  std::error_code ec;
  auto resolved = std::filesystem::weakly_canonical(path, ec);
  return ec ? path : resolved.string();
}

int SyncPath(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return LastError();
  int rc = ::fsync(fd) == 0 || errno == EINVAL ? 0 : LastError();
  ::close(fd);
  return rc;
}

std::string ReplacingTempPath(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  return dir + "." + base + ".tmp";
}

ReplacingFileWriter::ReplacingFileWriter(std::string path)
    : path_(std::move(path)), tempPath_(ReplacingTempPath(path_)) {}

ReplacingFileWriter::ReplacingFileWriter(std::string path, std::string tempPath)
    : path_(std::move(path)), tempPath_(std::move(tempPath)) {}

ReplacingFileWriter::~ReplacingFileWriter() {
  if (fd_ >= 0) {
    ::close(fd_);
    ::unlink(tempPath_.c_str());
  }
}

int ReplacingFileWriter::Open() {
  // A fresh file, never one already under the temporary's name: that could be a link to the
  // source (a map's ".copy.map.tmp" planted as a hard link or symlink to the image being read).
  ::unlink(tempPath_.c_str());
  fd_ = ::open(tempPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  return fd_ < 0 ? LastError() : 0;
}

int ReplacingFileWriter::Write(const void* data, size_t length) {
  if (fd_ < 0) return FromErrno(EBADF);
  int rc = WriteAllAt(fd_, data, length, written_);
  if (rc == 0) written_ += length;
  return rc;
}

int ReplacingFileWriter::Sync() {
  if (fd_ < 0) return FromErrno(EBADF);
  return ::fsync(fd_) == 0 || errno == EINVAL ? 0 : LastError();
}

int ReplacingFileWriter::Commit() {
  if (fd_ < 0) return FromErrno(EBADF);
  int rc = ::close(fd_) == 0 ? 0 : LastError();
  fd_ = -1;
  if (rc == 0 && ::rename(tempPath_.c_str(), path_.c_str()) != 0) rc = LastError();
  if (rc != 0) ::unlink(tempPath_.c_str());
  return rc;
}

}  // namespace salvora::platform
