#include "output/OutputFiles.h"

#include <cerrno>

#include "platform/AbandonedFiles.h"
#include "platform/FileDescriptor.h"
#include "platform/FileStatus.h"
#include "platform/PathChanges.h"
#include "platform/PlatformError.h"

namespace salvora {

int CreateFolders(const std::string& path) {
  if (path.empty()) return 0;
  for (size_t pos = 1; pos <= path.size(); ++pos) {
    if (pos != path.size() && path[pos] != '/') continue;
    std::string part = path.substr(0, pos);
    if (platform::MakeFolder(part, 0755) != 0 && errno != EEXIST) return platform::LastError();
  }
  platform::FileStatus st;
  if (platform::StatPath(path, st) != 0) return platform::LastError();
  return st.IsFolder() ? 0 : platform::FromErrno(ENOTDIR);
}

std::string ParentOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return "";
  return slash == 0 ? "/" : path.substr(0, slash);
}

int CreateParentFolders(const std::string& filePath) { return CreateFolders(ParentOf(filePath)); }

int CountSeparators(const std::string& path) {
  int n = 0;
  for (char c : path) n += (c == '/' || c == '\\');
  return n;
}

int OutputFile::Create(const std::string& path) {
  Close();
  written_ = 0;
  fd_ = platform::OpenFile(path, O_WRONLY | O_CREAT | O_EXCL, 0644);
  return fd_ < 0 ? platform::LastError() : 0;
}

bool OutputFile::MarkInUse() { return fd_ >= 0 && platform::MarkInUse(fd_); }

int OutputFile::Write(const uint8_t* data, size_t length) {
  size_t done = 0;
  while (done < length) {
    long long n = platform::WriteSome(fd_, data + done, length - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return platform::LastError();
    }
    if (n == 0) return platform::FromErrno(EIO);
    done += size_t(n);
    written_ += uint64_t(n);
  }
  return 0;
}

int OutputFile::Close() {
  if (fd_ < 0) return 0;
  int rc = platform::CloseFile(fd_) == 0 ? 0 : platform::LastError();
  fd_ = -1;
  return rc;
}

}  // namespace salvora
