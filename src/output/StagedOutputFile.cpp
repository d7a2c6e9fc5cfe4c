#include "output/StagedOutputFile.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <set>
#include <utility>

#include "output/UniquePath.h"
#include "platform/AbandonedFiles.h"
#include "platform/ErrorCodes.h"
#include "platform/FileStatus.h"
#include "platform/PathChanges.h"
#include "platform/PlatformError.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

constexpr char kTemporaryTag[] = ".salvora-part";
constexpr char kPartialTag[] = ".partial";
constexpr int kCreateAttempts = 8;

std::atomic<bool> gKeepPartial{false};
thread_local std::string gLastPartial;
thread_local uint64_t gLastAbandonedBytes = UINT64_MAX;

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

bool IsTemporaryName(const std::string& name) {
  const size_t tag = sizeof kTemporaryTag - 1;
  return name.size() > tag + 1 && name.front() == '.' && name.compare(name.size() - tag, tag, kTemporaryTag) == 0;
}

// The temporaries a killed run left in folder go before this run writes there; each folder is
// looked through once per process.
void SweepOnce(const std::string& folder) {
  static std::mutex lock;
  static std::set<std::string> swept;
  {
    std::lock_guard<std::mutex> hold(lock);
    if (!swept.insert(folder).second) return;
  }
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (IsTemporaryName(name)) platform::RemoveIfAbandoned(it->path().string());
  }
}

}  // namespace

void StagedOutputFile::KeepPartialFiles(bool keep) { gKeepPartial = keep; }

std::string StagedOutputFile::TakeLastPartial() { return std::exchange(gLastPartial, std::string()); }
uint64_t StagedOutputFile::TakeLastAbandonedBytes() { return std::exchange(gLastAbandonedBytes, UINT64_MAX); }

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
  SweepOnce(folder);
  int rc = platform::FromErrno(EEXIST);
  for (int attempt = 0; attempt < kCreateAttempts && platform::IsAlreadyExists(rc); ++attempt) {
    temp_ = MakeUniquePath(folder, "." + NameOf(finalPath) + kTemporaryTag);
    if (temp_.empty()) return platform::FromErrno(ENAMETOOLONG);
    rc = out_.Create(temp_);
    // Lost to another run's sweep between the create and the mark: take another name.
    if (rc == 0 && !out_.MarkInUse()) {
      out_.Close();
      rc = platform::FromErrno(EEXIST);
    }
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
  gLastAbandonedBytes = out_.BytesWritten();
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
