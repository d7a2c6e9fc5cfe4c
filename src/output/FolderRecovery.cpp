#include "output/FolderRecovery.h"

#include <cerrno>
#include <deque>

#include "output/OutputFiles.h"
#include "output/RecoveredFileFinish.h"
#include "output/RecoveredName.h"
#include "output/StagedOutputFile.h"
#include "output/UniquePath.h"
#include "platform/ErrorCodes.h"
#include "platform/PlatformError.h"

namespace salvora {
namespace {

constexpr int kMaxRecoveryDepth = 256;

struct QueuedFolder {
  FoundFileRecord record;
  std::string path;
};

}  // namespace

int CopyProgress::operator()(int percent, int error) const {
  if (holdEnd && percent >= 100) return 0;
  if (recovery) return recovery(userData, percent, 100, error, path ? path->c_str() : "");
  if (preview) return preview(userData, percent, error);
  return 0;
}

int RecoverIntoFile(const std::string& destination, uint64_t expectedBytes, const CopyProgress& progress,
                    const std::function<int(OutputFile& out, const CopyProgress& progress)>& copy) {
  StagedOutputFile file;
  int rc = file.Create(destination);
  if (rc == 0) {
    CopyProgress held = progress;
    held.holdEnd = true;
    rc = copy(file.out(), held);
    const uint64_t written = file.out().BytesWritten();
    if (rc == 0) rc = file.Commit();
    if (rc == 0 && written < expectedBytes) rc = kDataShort;
  }
  if (rc == kScanCancelled) return rc;
  // A cancel answered to the end of a whole file stops what comes after it.
  const int answer = progress(100, rc);
  return rc == 0 && answer == kScanCancelled ? answer : rc;
}

int RecoverFolderTree(const FoundFileRecord& folder, const std::string& destination, int base,
                      const ListChildrenStep& list, const RecoverFileStep& recover) {
  if (int rc = CreateFolders(destination); rc != 0) return rc;
  std::deque<QueuedFolder> queue{{folder, destination}};
  int result = 0;
  while (!queue.empty()) {
    QueuedFolder next = std::move(queue.front());
    queue.pop_front();
    const int depth = CountSeparators(next.path) - base;
    if (depth < 0 || depth > kMaxRecoveryDepth) continue;
    std::vector<FoundFileRecord> children;
    if (int rc = list(next.record, depth, children); rc != 0 && result == 0) result = rc;
    for (const auto& child : children) {
      std::string path = MakeUniquePath(next.path, SanitiseRecoveredName(child.Name()));
      if (path.empty()) {
        // No name fits what is left of the path: the child is lost, and the run says so.
        if (result == 0) result = platform::FromErrno(ENAMETOOLONG);
        continue;
      }
      if (child.IsFolder()) {
        const int made = CreateFolders(path);
        if (made == 0) queue.push_back({child, path});
        else if (result == 0) result = made;
        continue;
      }
      const int rc = recover(child, path);
      if (rc == kScanCancelled) return rc;
      if (rc == 0) FinishRecoveredFile(child, path);
      if (rc != 0 && result == 0) result = rc;
    }
  }
  return result;
}

int RecoverFolderTree(IFileRecoveryParse& engine, const FoundFileRecord& folder,
                      const std::string& destination, int base, const RecoverFileStep& recover) {
  return RecoverFolderTree(
      folder, destination, base,
      [&](const FoundFileRecord& f, int depth, std::vector<FoundFileRecord>& children) {
        return engine.ListChildren(&f, depth, children);
      },
      recover);
}

}  // namespace salvora
