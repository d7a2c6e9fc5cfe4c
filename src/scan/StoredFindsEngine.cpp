#include "scan/StoredFindsEngine.h"

#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

// The key of folder, or of the top level; false for a call that names neither.
bool KeyOf(const FoundFileRecord* folder, int depth, uint32_t rootId, RelationKey& key) {
  if ((!folder && depth != 0) || depth < 0) return false;
  key = MakeRelationKey(uint32_t(depth), folder ? folder->ObjectId() : rootId);
  return true;
}

}  // namespace

int StoredFindsEngine::SetScanCallbacks(ScanProgressCallback scan, RecoveryProgressCallback recovery,
                                        void* userData, int progressWeight) {
  scanCallback_ = scan;
  recoveryCallback_ = recovery;
  userData_ = userData;
  progressWeight_ = progressWeight;
  return 0;
}

int StoredFindsEngine::ListBelow(const FoundFileRecord* folder, int depth, uint32_t rootId,
                                 std::vector<FoundFileRecord>& children) {
  RelationKey key = 0;
  if (!KeyOf(folder, depth, rootId, key)) return kInvalidParameter;
  return store_ ? store_->ListChildren(key, children) : 0;
}

int StoredFindsEngine::CountBelow(const FoundFileRecord* folder, int depth, uint32_t rootId, int& count) {
  count = 0;
  RelationKey key = 0;
  if (!KeyOf(folder, depth, rootId, key)) return kInvalidParameter;
  return store_ ? store_->CountFiles(key, count) : 0;
}

int StoredFindsEngine::ListChildren(const FoundFileRecord* folder, int depth,
                                    std::vector<FoundFileRecord>& children) {
  return ListBelow(folder, depth, rootId_, children);
}

int StoredFindsEngine::CountFiles(const FoundFileRecord* folder, int depth, int& count) {
  return CountBelow(folder, depth, rootId_, count);
}

uint64_t StoredFindsEngine::GetFoundCount() { return store_ ? store_->Count() : 0; }

int StoredFindsEngine::GetFullPath(const FoundFileRecord* record, std::string& path, int maxChars) {
  path.clear();
  if (!record) return kInvalidParameter;
  return store_ ? store_->GetFullPath(*record, path, maxChars) : 0;
}

int StoredFindsEngine::SetSearchCallback(SearchProgressCallback callback, void* userData) {
  searchCallback_ = callback;
  searchUserData_ = userData;
  return store_ ? store_->SetSearchCallback(callback, userData) : 0;
}

int StoredFindsEngine::SearchByExtension(const std::string& text, std::vector<FoundFileRecord>& found) {
  return store_ ? store_->SearchByExtension(text, found) : 0;
}

FoundFileStore& StoredFindsEngine::NewStore() {
  store_ = std::make_unique<FoundFileStore>();
  if (searchCallback_) store_->SetSearchCallback(searchCallback_, searchUserData_);
  return *store_;
}

}  // namespace salvora
