#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scan/EngineTypes.h"
#include "scan/FoundFileRecord.h"
#include "scan/FoundFileStore.h"
#include "scan/IFileRecoveryParse.h"
#include "scan/RelationKey.h"

namespace salvora {

// An engine whose finds live in one FoundFileStore: browsing, counting and searching are answered
// from that store, and the callbacks the caller hands over are kept here for the engine's scan and
// copy code. Until a scan has made a store every query answers empty.
class StoredFindsEngine : public IFileRecoveryParse {
 public:
  int SetScanCallbacks(ScanProgressCallback scan, RecoveryProgressCallback recovery, void* userData,
                       int progressWeight) override;
  int ListChildren(const FoundFileRecord* folder, int depth,
                   std::vector<FoundFileRecord>& children) override;
  int CountFiles(const FoundFileRecord* folder, int depth, int& count) override;
  uint64_t GetFoundCount() override;
  int GetFullPath(const FoundFileRecord* record, std::string& path, int maxChars) override;
  int SetSearchCallback(SearchProgressCallback callback, void* userData) override;
  int SearchByExtension(const std::string& text, std::vector<FoundFileRecord>& found) override;

 protected:
  // The listing and the count of what lies below folder, the top level being filed under rootId
  // (0 names the log's first key).
  int ListBelow(const FoundFileRecord* folder, int depth, uint32_t rootId,
                std::vector<FoundFileRecord>& children);
  int CountBelow(const FoundFileRecord* folder, int depth, uint32_t rootId, int& count);
  // A fresh store for a scan, already told of the search callback.
  FoundFileStore& NewStore();

  std::unique_ptr<FoundFileStore> store_;
  // The id the volume's top level is filed under.
  uint32_t rootId_ = 0;
  ScanProgressCallback scanCallback_ = nullptr;
  RecoveryProgressCallback recoveryCallback_ = nullptr;
  void* userData_ = nullptr;
  int progressWeight_ = 100;
  SearchProgressCallback searchCallback_ = nullptr;
  void* searchUserData_ = nullptr;
};

}  // namespace salvora
