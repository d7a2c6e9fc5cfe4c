#include "platform/FileIo.h"

#include <cerrno>
#include <filesystem>

#include "platform/FileDescriptor.h"
#include "platform/FileStatus.h"
#include "platform/PathChanges.h"
#include "platform/PlatformError.h"

namespace salvora::platform {

int WriteAllAt(int fd, const void* data, size_t length, uint64_t offset) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (length > 0) {
    long long n = WriteAtOffset(fd, p, length, offset);
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
    long long n = ReadAtOffset(fd, p + done, length - done, offset + done);
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
  int fd = OpenFile(path, O_RDONLY);
  if (fd < 0) return LastError();
  FileStatus st;
  int rc = 0;
  if (StatFile(fd, st) != 0) {
    rc = LastError();
  } else {
    uint64_t size = std::min<uint64_t>(st.size, maxBytes);
    try {
      out.resize(size);
      long long got = ReadUpTo(fd, out.data(), out.size(), 0, &rc);
      out.resize(got < 0 ? 0 : size_t(got));
    } catch (const std::bad_alloc&) {
      out.clear();
      rc = 8;
    }
  }
  CloseFile(fd);
  return rc;
}

int MakeFolders(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path folder(std::u8string(path.begin(), path.end()));
  std::filesystem::create_directories(folder, ec);
  if (ec) return FromErrno(ec.value());
  if (!std::filesystem::is_directory(folder, ec)) return FromErrno(ENOTDIR);
  return 0;
}

std::string ResolvedPath(const std::string& path) {
  std::error_code ec;
  const auto resolved = std::filesystem::weakly_canonical(std::u8string(path.begin(), path.end()), ec);
  if (ec) return path;
  const std::u8string text = resolved.u8string();
  return std::string(text.begin(), text.end());
}

int SyncPath(const std::string& path) {
  int fd = OpenFile(path, O_RDONLY);
  if (fd < 0) return LastError();
  int rc = SyncFile(fd) == 0 || errno == EINVAL ? 0 : LastError();
  CloseFile(fd);
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
    CloseFile(fd_);
    RemoveFile(tempPath_);
  }
}

int ReplacingFileWriter::Open() {
  // A fresh file, never one already under the temporary's name: that could be a link to the
  // source (a map's ".copy.map.tmp" planted as a hard link or symlink to the image being read).
  // An exclusive create refuses any name that exists, a link included.
  RemoveFile(tempPath_);
  fd_ = OpenFile(tempPath_, O_WRONLY | O_CREAT | O_EXCL, 0644);
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
  return SyncFile(fd_) == 0 || errno == EINVAL ? 0 : LastError();
}

int ReplacingFileWriter::Commit() {
  if (fd_ < 0) return FromErrno(EBADF);
  int rc = CloseFile(fd_) == 0 ? 0 : LastError();
  fd_ = -1;
  if (rc == 0 && RenameReplacing(tempPath_, path_) != 0) rc = LastError();
  if (rc != 0) RemoveFile(tempPath_);
  return rc;
}

}  // namespace salvora::platform
