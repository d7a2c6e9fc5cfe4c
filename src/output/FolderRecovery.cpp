#include "output/FolderRecovery.h"

#include <deque>

#include "output/OutputFiles.h"
#include "output/RecoveredFileFinish.h"
#include "output/RecoveredName.h"
#include "output/UniquePath.h"
#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

constexpr int kMaxRecoveryDepth = 256;

struct QueuedFolder {
  FoundFileRecord record;
  std::string path;
};

}  // namespace

int CopyProgress::operator()(int percent, int error) const {
  if (recovery) return recovery(userData, percent, 100, error, path ? path->c_str() : "");
  if (preview) return preview(userData, percent, error);
  return 0;
}

int RecoverIntoFile(const std::string& destination, const CopyProgress& progress,
                    const std::function<int(OutputFile& out)>& copy) {
  OutputFile out;
  int rc = CreateParentFolders(destination);
  if (rc == 0) rc = out.Create(destination);
  if (rc != 0) {
    progress(100, rc);
    return rc;
  }
  rc = copy(out);
  const int closed = out.Close();
  if (rc == 0 && closed != 0) {
    progress(100, closed);
    rc = closed;
  }
  return rc;
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
      std::string path = MakeUniquePath(next.path + "/" + SanitiseRecoveredName(child.Name()));
      if (path.empty()) continue;
      if (child.IsFolder()) {
        if (CreateFolders(path) == 0) queue.push_back({child, path});
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
