// The folder walk of the fast exFAT engine: Scan and the steps it is made of.
#include <algorithm>

#include "carving/SignatureScanner.h"
#include "exfat/CFastExfatRecovery.h"
#include "exfat/ExfatBootSector.h"
#include "exfat/ExfatDirectoryEntry.h"
#include "platform/Clock.h"
#include "scan/ScanLogName.h"

namespace salvora {
namespace {

std::string ExtensionOfName(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

constexpr size_t kEntry = ExfatDirectoryEntry::kSize;

}  // namespace

int CFastExfatRecovery::Report(int percent, int remaining) {
  if (!scanCallback_) return 0;
  return scanCallback_(userData_, percent, progressWeight_, remaining, 0, 0, 0, 0);
}

int CFastExfatRecovery::Scan(const char* savedScanName) {
  folders_.clear();
  folderAliases_.clear();
  foldersToWrite_.clear();
  foldersToWriteSet_.clear();
  pending_.clear();
  walked_.clear();
  claimed_ = allocation_;
  runClaims_.clear();
  lastWrittenAt_.clear();
  NewStore();
  if (savedScanName) return store_->OpenLog(savedScanName);
  if (!open_) return openError_;
  if (int rc = store_->OpenLog(MakeScanLogName(kFastLogPrefix, partitionStart_)); rc != 0) return rc;

  pending_.push_back(rootCluster_);
  if (int rc = Report(1, -1); rc != 0) return rc;
  stepCounter_ = 1;
  lastReportMs_ = platform::TickMs();
  while (!pending_.empty()) {
    const uint32_t id = pending_.front();
    pending_.pop_front();
    if (!walked_.insert(id).second) continue;
    if (int rc = WalkFolder(id); rc != 0 && rc != kReadFault) return rc;  // an unreadable folder is skipped
    const uint64_t now = platform::TickMs();
    if (now - lastReportMs_ < kReportIntervalMs) continue;
    lastReportMs_ = now;
    stepCounter_ = std::min(stepCounter_ + 1, 79);
    if (int rc = Report(stepCounter_, -1); rc != 0) return rc;
  }
  if (int rc = Report(80, 10); rc != 0) return rc;
  ApplyRunClaims();
  int result = WriteFolderRecords();
  if (result == 0) result = store_->Flush();
  if (result == 0) result = Report(100, 0);
  return result;
}

void CFastExfatRecovery::FolderRuns(uint32_t first, uint64_t bytes, bool noFatChain, bool deleted,
                                    std::vector<ExfatRun>& runs) {
  runs.clear();
  if (!table_.IsDataCluster(first)) return;
  const uint64_t capped = bytes == 0 ? kMaxDirectoryBytes : std::min(bytes, kMaxDirectoryBytes);
  const uint64_t clusters = std::max<uint64_t>(1, (capped + clusterBytes_ - 1) / clusterBytes_);
  if (noFatChain) {
    const uint64_t left = uint64_t(clusterCount_) + ExfatBootSector::kFirstCluster - first;
    runs.push_back({first, uint32_t(std::min(clusters, left))});
    return;
  }
  const ExfatTable::ChainEnd end = table_.Chain(first, clusters, runs);
  // A deleted folder whose chain was cleared goes on in the clusters the bitmap leaves free.
  if (!deleted || end != ExfatTable::ChainEnd::Free || bytes == 0) return;
  uint64_t have = 0;
  for (const ExfatRun& run : runs) have += run.clusterCount;
  for (uint32_t c = runs.back().firstCluster + runs.back().clusterCount; have < clusters; ++have) {
    c = allocation_.NextFree(c);
    if (c == 0) break;
    AppendCluster(runs, c++);
  }
}

int CFastExfatRecovery::WalkFolder(uint32_t id) {
  const auto known = folders_.find(id);
  const bool isRoot = known == folders_.end();
  const bool deleted = !isRoot && known->second.record.IsDeleted();
  std::vector<ExfatRun> runs;
  FolderRuns(id, isRoot ? 0 : known->second.bytes, !isRoot && known->second.noFatChain, deleted, runs);
  std::vector<uint8_t> bytes;
  const int readResult = ReadClusters(runs, kMaxDirectoryBytes, bytes);
  if (bytes.empty()) return readResult != 0 ? readResult : kReadFault;
  // The cluster holding each cluster-sized piece, for the sector of an entry.
  std::vector<uint32_t> clusters;
  for (const ExfatRun& run : runs)
    for (uint32_t i = 0; i < run.clusterCount && clusters.size() * clusterBytes_ < bytes.size(); ++i)
      clusters.push_back(run.firstCluster + i);
  auto sectorOf = [&](size_t offset) {
    return ClusterSector(clusters[offset / clusterBytes_]) + (offset % clusterBytes_) / sectorSize_;
  };

  const ByteView view(bytes.data(), bytes.size());
  ExfatEntrySet set;
  for (size_t at = 0; view.Has(at, kEntry);) {
    const ExfatDirectoryEntry entry(view.Sub(at, kEntry));
    if (entry.IsEndOfDirectory()) break;
    if (!entry.Is(ExfatDirectoryEntry::kFile) ||
        ExfatEntrySet::Parse(view.Sub(at, view.size() - at), upcase_, set) != ExfatEntrySet::Status::Ok) {
      at += kEntry;
      continue;
    }
    if (int rc = RecordSet(set, id, deleted, sectorOf(at)); rc != 0) return rc;
    at += set.EntryCount() * kEntry;
  }
  return 0;
}

void CFastExfatRecovery::FillCommon(FoundFileRecord& r, const ExfatEntrySet& set) const {
  r.SetDriveLetter(driveLetter_);
  r.SetEngineKind(kRecordKind);
  r.SetObjectId(set.FirstCluster());
  r.SetClusterSize(clusterBytes_);
  r.SetCreationTime(set.CreationTime());
  r.SetAccessTime(set.AccessTime());
  r.SetWriteTime(set.ModifyTime());
  r.SetDataAreaStart(heapOffset_);
  r.SetPartitionStart(partitionStart_);
  r.SetName(set.Name());
}

int CFastExfatRecovery::RecordSet(const ExfatEntrySet& set, uint32_t parent, bool parentDeleted,
                                  uint64_t entrySector) {
  const bool deleted = set.IsDeleted() || parentDeleted;
  const uint32_t first = set.FirstCluster();
  const auto parentFolder = folders_.find(parent);
  const uint32_t parentLevel = parentFolder == folders_.end() ? 0 : parentFolder->second.level;
  if (set.IsDirectory()) {
    // A folder without clusters holds nothing; one seen before (a loop) is not walked twice; a
    // deleted one whose first cluster is in use again now holds another folder's entries.
    if (!table_.IsDataCluster(first) || first == rootCluster_) return 0;
    if (set.IsDeleted() && allocation_.IsAllocated(first)) return 0;
    if (const auto known = folders_.find(first); known != folders_.end()) {
      // Two deleted folders on one cluster (the later one took it over): both lead to what it
      // holds now, as the file-system tools list it; at another depth its entries' keys differ.
      if (deleted && known->second.record.IsDeleted() && known->second.parent != parent &&
          known->second.level == parentLevel + 1 && folderAliases_.size() < kMaxFolderAliases)
        folderAliases_.emplace(first, FolderOf(set, parent, parentLevel, deleted, entrySector));
      return 0;
    }
    folders_[first] = FolderOf(set, parent, parentLevel, deleted, entrySector);
    pending_.push_back(first);
    return 0;
  }
  if (!deleted) return 0;  // live files are left to the file system
  const uint32_t check = set.DataLength() == 0 ? 1 : ContentCheck(first, set.Name());
  // A deleted one-run file keeps its clusters from deleted files whose chain has to be guessed,
  // while its first cluster still holds what its type starts with.
  uint64_t& latest = lastWrittenAt_[first];
  latest = std::max(latest, set.ModifyTime());
  if (set.IsDeleted() && set.NoFatChain() && check == 1) runClaims_.push_back({first, set.DataLength(), set.ModifyTime()});
  uint32_t number = 0;
  FoundFileRecord* slot = store_->AppendRecord(number);
  if (!slot) return store_->LastWriteError() ? store_->LastWriteError() : kOutOfMemory;
  FillCommon(*slot, set);
  slot->SetRecordNumber(number);
  slot->SetDeleted(true);
  slot->SetContentCheck(check);
  slot->SetFileSize(set.DataLength());
  slot->SetEntrySector(entrySector);
  store_->AddRelation(parent, parentLevel, number, first, nullptr);
  NoteFoldersToWrite(parent);
  return 0;
}

CFastExfatRecovery::Folder CFastExfatRecovery::FolderOf(const ExfatEntrySet& set, uint32_t parent,
                                                        uint32_t parentLevel, bool deleted,
                                                        uint64_t entrySector) const {
  Folder folder;
  FillCommon(folder.record, set);
  folder.record.SetFolder(true);
  folder.record.SetDeleted(deleted);
  folder.record.SetContentCheck(1);
  folder.record.SetEntrySector(entrySector);
  folder.parent = parent;
  folder.level = parentLevel + 1;
  folder.bytes = set.DataLength();
  folder.noFatChain = set.NoFatChain();
  return folder;
}

void CFastExfatRecovery::ClaimRun(uint32_t first, uint64_t bytes) {
  const uint64_t clusters = (bytes + clusterBytes_ - 1) / clusterBytes_;
  for (uint64_t i = 0; i < clusters && table_.IsDataCluster(uint32_t(first + i)); ++i)
    claimed_.MarkAllocated(uint32_t(first + i));
}

void CFastExfatRecovery::ApplyRunClaims() {
  for (const RunClaim& claim : runClaims_)
    if (lastWrittenAt_[claim.first] <= claim.written) ClaimRun(claim.first, claim.bytes);
  runClaims_.clear();
}

void CFastExfatRecovery::NoteFoldersToWrite(uint32_t id) {
  // A folder already noted had its parents noted with it.
  while (foldersToWriteSet_.insert(id).second) {
    foldersToWrite_.push_back(id);
    const auto it = folders_.find(id);
    if (it == folders_.end()) return;
    id = it->second.parent;
  }
}

int CFastExfatRecovery::WriteFolderRecord(uint32_t id, const Folder& folder) {
  uint32_t number = 0;
  FoundFileRecord* slot = store_->AppendRecord(number);
  if (!slot) return store_->LastWriteError() ? store_->LastWriteError() : kOutOfMemory;
  *slot = folder.record;
  slot->SetRecordNumber(number);
  const std::string name(folder.record.Name());
  store_->AddRelation(folder.parent, folder.level - 1, number, id, name.c_str());
  return 0;
}

int CFastExfatRecovery::WriteFolderRecords() {
  // The folders an alias sits in are written with it (the list grows while it is read).
  for (size_t i = 0; i < foldersToWrite_.size(); ++i) {
    const auto [from, to] = folderAliases_.equal_range(foldersToWrite_[i]);
    for (auto alias = from; alias != to; ++alias) NoteFoldersToWrite(alias->second.parent);
  }
  for (uint32_t id : foldersToWrite_) {
    const auto it = folders_.find(id);
    if (it == folders_.end()) continue;
    if (int rc = WriteFolderRecord(id, it->second); rc != 0) return rc;
    const auto [from, to] = folderAliases_.equal_range(id);
    for (auto alias = from; alias != to; ++alias)
      if (int rc = WriteFolderRecord(id, alias->second); rc != 0) return rc;
  }
  return 0;
}

uint32_t CFastExfatRecovery::ContentCheck(uint32_t firstCluster, const std::string& name) {
  const std::string extension = ExtensionOfName(name);
  if (extension.empty() || !table_.IsDataCluster(firstCluster)) return 1;
  std::vector<uint8_t> sector(sectorSize_);
  const uint64_t first = ClusterSector(firstCluster);
  uint32_t got = 0;
  if (ReadSectors(sector.data(), 1, first, got) != 0 || got == 0) return 1;
  return CheckSignature(sector.data(), int(sector.size()), extension, reader_.get(), int(sectorSize_), first) == 1
             ? 1
             : 0;
}

}  // namespace salvora
