#include "scan/DeepSectorLog.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "platform/ErrorCodes.h"
#include "platform/FileDescriptor.h"
#include "platform/FileIo.h"
#include "platform/PlatformError.h"

namespace salvora {
namespace {

std::string LogPath(const std::string& folder) {
  return folder.empty() || folder.back() == '/' ? folder + DeepSectorLog::kFileName
                                                : folder + "/" + DeepSectorLog::kFileName;
}

}  // namespace

int DeepSectorLog::Write(const std::string& sessionFolder, uint64_t at,
                         const std::vector<DeepSectorEntry>& entries) {
  if (entries.empty()) return 0;
  if (at > kMaxEntries) return kInvalidParameter;
  int fd = platform::OpenFile(LogPath(sessionFolder), O_WRONLY | O_CREAT, 0644);
  if (fd < 0) return platform::LastError();
  int rc = platform::WriteAllAt(fd, entries.data(), entries.size() * DeepSectorEntry::kSize,
                                at * DeepSectorEntry::kSize);
  if (rc == 0 && platform::SyncFileData(fd) != 0 && errno != EINVAL) rc = platform::LastError();
  platform::CloseFile(fd);
  return rc;
}

int DeepSectorLog::Read(const std::string& sessionFolder, uint64_t count,
                        std::vector<DeepSectorEntry>& out) {
  out.clear();
  if (count == 0) return 0;
  std::string bytes;
  const uint64_t wanted = std::min(count, kMaxEntries);
  if (int rc = platform::ReadWholeFile(LogPath(sessionFolder), bytes, wanted * DeepSectorEntry::kSize);
      rc != 0)
    return rc;
  try {
    out.resize(bytes.size() / DeepSectorEntry::kSize);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  if (!out.empty()) std::memcpy(static_cast<void*>(out.data()), bytes.data(), out.size() * DeepSectorEntry::kSize);
  return out.size() == count ? 0 : kReadFault;
}

int DeepSectorLog::Clear(const std::string& sessionFolder) {
  if (platform::TruncatePath(LogPath(sessionFolder), 0) == 0 || errno == ENOENT) return 0;
  return platform::LastError();
}

}  // namespace salvora
