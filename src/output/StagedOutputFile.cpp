#include "output/StagedOutputFile.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <atomic>
#include <utility>

#include "output/UniquePath.h"
#include "platform/ErrorCodes.h"
#include "platform/FileStatus.h"
#include "platform/PathChanges.h"
#include "platform/PlatformError.h"

namespace salvora {
namespace {

constexpr char kTemporaryTag[] = ".salvora-part";
constexpr char kPartialTag[] = ".partial";
constexpr int kCreateAttempts = 8;

std::atomic<bool> gKeepPartial{false};
thread_local std::string gLastPartial;

// The temporary being written, for a handler of a second Ctrl-C (which ends the process at once):
// a plain buffer and a flag, the only things a signal handler may read.
char gSignalTemp[PATH_MAX];
volatile std::sig_atomic_t gSignalTempSet = 0;

void RememberForSignal(const std::string& path) {
  gSignalTempSet = 0;
  if (path.size() >= sizeof gSignalTemp) return;
  std::memcpy(gSignalTemp, path.c_str(), path.size() + 1);
  gSignalTempSet = 1;
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

void StagedOutputFile::KeepPartialFiles(bool keep) { gKeepPartial = keep; }

std::string StagedOutputFile::TakeLastPartial() { return std::exchange(gLastPartial, std::string()); }

void StagedOutputFile::RemoveTemporaryOnSignal() {
  if (gSignalTempSet) platform::RemoveFile(gSignalTemp);
  gSignalTempSet = 0;
}

int RenameNoReplace(const std::string& from, const std::string& to) {
  if (platform::RenameExclusive(from, to) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return platform::LastError();
  // A file system without that rename: a hard link does not replace either.
  if (platform::HardLink(from, to) == 0) {
    platform::RemoveFile(from);
    return 0;
  }
  if (errno == EEXIST) return platform::FromErrno(EEXIST);
  // Nor hard links (FAT): look, then rename; the names were chosen free a moment ago.
  platform::FileStatus st;
  if (platform::StatLink(to, st) == 0) return platform::FromErrno(EEXIST);
  return platform::RenameReplacing(from, to) == 0 ? 0 : platform::LastError();
}

int StagedOutputFile::Create(const std::string& finalPath) {
  Abandon();
  final_ = finalPath;
  partial_.clear();
  if (int rc = CreateParentFolders(finalPath); rc != 0) return rc;
  const std::string folder = ParentOf(finalPath);
  int rc = platform::FromErrno(EEXIST);
  for (int attempt = 0; attempt < kCreateAttempts && platform::IsAlreadyExists(rc); ++attempt) {
    temp_ = MakeUniquePath(folder, "." + NameOf(finalPath) + kTemporaryTag);
    if (temp_.empty()) return platform::FromErrno(ENAMETOOLONG);
    rc = out_.Create(temp_);
  }
  if (rc != 0) return rc;
  pending_ = true;
  RememberForSignal(temp_);
  return 0;
}

int StagedOutputFile::Commit() {
  if (!pending_) return kInvalidParameter;
  int rc = out_.Close();
  if (rc == 0) rc = RenameNoReplace(temp_, final_);
  if (rc != 0) {
    Abandon();
    return rc;
  }
  gSignalTempSet = 0;
  pending_ = false;
  return 0;
}

void StagedOutputFile::Abandon() {
  if (!pending_) return;
  pending_ = false;
  gSignalTempSet = 0;
  out_.Close();
  if (gKeepPartial) {
    partial_ = MakeUniquePath(ParentOf(final_), NameOf(final_), nullptr, kPartialTag);
    if (!partial_.empty() && RenameNoReplace(temp_, partial_) == 0) {
      gLastPartial = partial_;
      return;
    }
    partial_.clear();
  }
  platform::RemoveFile(temp_);
}

}  // namespace salvora
