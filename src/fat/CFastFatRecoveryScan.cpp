// The directory walk of the fast FAT engine: Scan and the steps it is made of.
#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "carving/SignatureScanner.h"
#include "fat/CFastFatRecovery.h"
#include "fat/FatEntryFacts.h"
#include "fatdir/FatDirEntry.h"
#include "fat/FatEntryValidity.h"
#include "fat/FatNames.h"
#include "platform/Clock.h"
#include "scan/ExtensionLists.h"
#include "scan/ScanLogName.h"

namespace salvora {
namespace {

// True when cluster opens with "." and "..". A deleted folder's own pair may carry the deletion
// mark as well, where a tree was removed entry by entry; its "." then reads "\xE5 " and its ".."
// "\xE5.", which is still a folder's opening.
bool StartsOwnFolderCluster(ByteView cluster, bool deletedMarkAllowed = false) {
  const FatDirEntry first(cluster), second(cluster.Sub(FatDirEntry::kSize, FatDirEntry::kSize));
  auto opens = [&](const FatDirEntry& e, uint8_t secondByte) {
    return (e.FirstByte() == '.' || (deletedMarkAllowed && e.IsDeleted())) && e.NameByte(1) == secondByte &&
           e.IsDirectory();
  };
  return opens(first, ' ') && opens(second, '.');
}

std::string ExtensionOfName(const std::string& name) {
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

}  // namespace

int CFastFatRecovery::Report(int percent, int remaining) {
  if (!scanCallback_) return 0;
  return scanCallback_(userData_, percent, progressWeight_, remaining, 0, 0, 0, 0);
}

int CFastFatRecovery::Scan(const char* savedScanName) {
  folderMap_.clear();
  folderAliases_.clear();
  foldersToWrite_.clear();
  foldersToWriteSet_.clear();
  pendingFolders_.clear();
  walked_.clear();
  levelCache_.clear();
  chainless_.clear();
  store_.reset();
  NewStore();
  if (savedScanName) return store_->OpenLog(savedScanName);
  if (!open_) return openError_;
  if (int rc = store_->OpenLog(MakeScanLogName(kFastLogPrefix, partitionStart_)); rc != 0) return rc;

  pendingFolders_.push_back(RootId());
  if (int rc = Report(1, -1); rc != 0) return rc;
  countdown_ = 100;
  stepCounter_ = 1;
  weight9Counter_ = 20;
  lastReportMs_ = platform::TickMs();
  while (!pendingFolders_.empty()) {
    const uint32_t c = pendingFolders_.front();
    pendingFolders_.pop_front();
    if (!walked_.insert(c).second) continue;
    DirectoryWalk(c);  // an unreadable folder is skipped
    const uint64_t now = platform::TickMs();
    if (now - lastReportMs_ < kReportIntervalMs) continue;
    lastReportMs_ = now;
    int rc = 0;
    if (progressWeight_ == 100) {
      stepCounter_ = std::min(stepCounter_ + 1, 79);
      countdown_ = std::max(countdown_ - 1, 11);
      rc = Report(stepCounter_, countdown_);
    } else if (progressWeight_ == 9) {
      weight9Counter_ = std::min(weight9Counter_ + 1, 79);
      rc = Report(weight9Counter_, -1);
    }
    if (rc != 0) return rc;
  }
  if (int rc = Report(80, 10); rc != 0) return rc;
  int result = PlaceChainlessFiles();
  if (result == 0) result = WriteFolderRecords();
  if (result == 0) result = store_->Flush();
  if (result == 0) result = Report(100, 0);
  return result;
}

int CFastFatRecovery::DirectoryWalk(uint32_t cluster) {
  uint32_t c = cluster, ownId = cluster;
  auto known = folderMap_.find(c);
  const bool isKnown = known != folderMap_.end();
  const bool folderDeleted = isKnown && known->second.IsDeleted();
  const bool fixedRoot = c == 0 && !geometry_.fat32;
  const uint32_t ss = geometry_.sectorSize;
  const uint64_t bufferBytes = fixedRoot ? uint64_t(geometry_.rootSectors) * ss : geometry_.ClusterBytes();
  if (bufferBytes == 0 || bufferBytes > kMaxClusterBytes) return kInvalidParameter;
  std::vector<uint8_t> buffer(bufferBytes);
  FatLongNameCollector longName;
  std::unordered_set<uint32_t> chain{c};
  // A folder reached through its parent must open with "." and "..". So must a cluster reached
  // only by assuming that a freed chain goes on in the next free cluster; a cluster linked by the
  // allocation table belongs to the folder whatever it holds.
  bool mustOpenWithDots = isKnown && c != geometry_.rootCluster && !fixedRoot;

  for (;;) {
    uint64_t sector = ClusterSector(c);
    uint32_t got = 0;
    int rc = ReadSectors(buffer.data(), uint32_t(bufferBytes / ss), sector, got);
    if (rc != 0 && got == 0) return rc;
    ByteView view(buffer.data(), size_t(got) * ss);
    if (mustOpenWithDots && !StartsOwnFolderCluster(view, folderDeleted && c == cluster)) return 0;
    const size_t entries = view.size() / FatDirEntry::kSize;
    for (size_t i = 0; i < entries; ++i) {
      if (i > 0 && (i * FatDirEntry::kSize) % ss == 0) ++sector;
      FatDirEntry e(view.Sub(i * FatDirEntry::kSize, FatDirEntry::kSize));
      if (e.IsEndMarker()) return 0;
      if (!IsUsableFastEntry(view, i)) {
        longName.Clear();
        continue;
      }
      if (e.IsLongName()) {
        longName.Prepend(e);
        continue;
      }
      if (e.IsDirectory()) {
        std::string name = longName.HasName() ? longName.Name() : FatShortFolderName(e);
        if (name == ".") ownId = e.FirstCluster();
        else RecordFolderEntry(e, name, ownId, folderDeleted);
      } else if (e.Attribute() & FatDirEntry::kAttrArchive) {
        if (e.IsDeleted() || folderDeleted) {
          std::string name = longName.HasName() ? longName.Name() : FatShortFileName(e);
          if (int rc2 = RecordFileEntry(e, name, ownId, sector); rc2 != 0) return rc2;
        }
      }
      longName.Clear();
    }
    if (fixedRoot) return 0;
    uint32_t entry = 0, next = 0;
    if (int rc2 = FatEntry(c, entry); rc2 != 0) return rc2;
    if (int rc2 = NextCluster(c, next); rc2 != 0) return rc2;
    if (next == 0 || next == c || !chain.insert(next).second) return 0;
    mustOpenWithDots = entry == 0;
    c = next;
  }
}

void CFastFatRecovery::FillCommon(FoundFileRecord& r, const FatDirEntry& e, uint32_t cluster) const {
  TakeFatEntryFacts(r, e, kRecordKind, driveLetter_, cluster);
  r.SetClusterSize(geometry_.ClusterBytes());
  r.SetDataAreaStart(geometry_.dataStart);
}

uint32_t CFastFatRecovery::EntryCluster(const FatDirEntry& e, bool folder, const std::string& name) {
  if (!geometry_.fat32) return e.LowCluster();
  uint16_t high = e.HighCluster();
  if (e.IsDeleted() && high == 0) high = ProbeHighWord(e.LowCluster(), folder, folder ? "" : ExtensionOfName(name));
  return (uint32_t(high) << 16) | e.LowCluster();
}

void CFastFatRecovery::RecordFolderEntry(const FatDirEntry& e, const std::string& name, uint32_t ownId,
                                         bool folderDeleted) {
  const uint32_t cluster = EntryCluster(e, true, name);
  if (cluster == 0 || cluster == ownId) return;
  FoundFileRecord r;
  FillCommon(r, e, cluster);
  r.SetFolder(true);
  r.SetDeleted(e.IsDeleted() || folderDeleted);
  r.SetContentCheck(1);
  r.SetRecordNumber(ownId);  // the parent, until the record is written
  r.SetName(name);
  pendingFolders_.push_back(cluster);
  // Two deleted folders on one cluster: both lead to what it holds now, as the file-system tools
  // list it (a live folder's cluster is its own).
  if (auto known = folderMap_.find(cluster); known != folderMap_.end() && known->second.IsDeleted() &&
                                             r.IsDeleted() && known->second.RecordNumber() != ownId &&
                                             folderAliases_.size() < kMaxFolderAliases)
    folderAliases_.emplace(cluster, known->second);
  folderMap_[cluster] = r;
}

int CFastFatRecovery::RecordFileEntry(const FatDirEntry& e, const std::string& name, uint32_t ownId,
                                      uint64_t entrySector) {
  const uint32_t cluster = EntryCluster(e, false, name);
  const uint32_t check = e.Size() == 0 ? 1 : ContentCheck(cluster, name);
  uint32_t level = 0;
  FolderLevel(ownId, level);
  uint32_t number = 0;
  FoundFileRecord* slot = store_->AppendRecord(number);
  if (!slot) return store_->LastWriteError() ? store_->LastWriteError() : kOutOfMemory;
  FillCommon(*slot, e, cluster);
  slot->SetRecordNumber(number);
  slot->SetDeleted(true);
  slot->SetContentCheck(check);
  slot->SetFileSize(e.Size());
  slot->SetEntrySector(entrySector);
  slot->SetPartitionStart(partitionStart_);
  slot->SetName(name);
  store_->AddRelation(ownId, level, number, cluster, nullptr);
  NoteFoldersToWrite(ownId);
  // An entry whose first sector is not of its type was overwritten: it claims no clusters.
  if (check == 1) NoteChainless(number, cluster, e.Size(), uint32_t(e.WriteDate()) << 16 | e.WriteTime(), name);
  return 0;
}

void CFastFatRecovery::NoteFoldersToWrite(uint32_t ownId) {
  uint32_t id = ownId;
  // A folder already noted had its ancestors noted with it.
  while (foldersToWriteSet_.insert(id).second) {
    foldersToWrite_.push_back(id);
    auto it = folderMap_.find(id);
    if (it == folderMap_.end()) return;
    const uint32_t parent = it->second.RecordNumber();
    if (parent == id || parent <= geometry_.rootCluster) return;
    id = parent;
  }
}

int CFastFatRecovery::WriteFolderRecord(uint32_t id, const FoundFileRecord& folder) {
  const uint32_t parent = folder.RecordNumber();
  uint32_t level = 0;
  FolderLevel(parent, level);
  uint32_t number = 0;
  FoundFileRecord* slot = store_->AppendRecord(number);
  if (!slot) return store_->LastWriteError() ? store_->LastWriteError() : kOutOfMemory;
  *slot = folder;
  slot->SetRecordNumber(number);
  std::string name(folder.Name());
  store_->AddRelation(parent, level, number, id, name.c_str());
  return 0;
}

int CFastFatRecovery::WriteFolderRecords() {
  // The folders an alias sits in are written with it (the list grows while it is read).
  for (size_t i = 0; i < foldersToWrite_.size(); ++i) {
    const auto [from, to] = folderAliases_.equal_range(foldersToWrite_[i]);
    for (auto alias = from; alias != to; ++alias) NoteFoldersToWrite(alias->second.RecordNumber());
  }
  for (uint32_t id : foldersToWrite_) {
    auto it = folderMap_.find(id);
    if (it == folderMap_.end()) continue;
    if (int rc = WriteFolderRecord(id, it->second); rc != 0) return rc;
    const auto [from, to] = folderAliases_.equal_range(id);
    for (auto alias = from; alias != to; ++alias)
      if (int rc = WriteFolderRecord(id, alias->second); rc != 0) return rc;
  }
  return 0;
}

int CFastFatRecovery::FolderLevel(uint32_t f, uint32_t& level) {
  level = 0;
  if (auto cached = levelCache_.find(f); cached != levelCache_.end()) {
    level = cached->second;
    return 0;
  }
  const uint32_t start = f;
  std::unordered_set<uint32_t> visited;
  std::vector<uint8_t> sector(geometry_.sectorSize);
  int result = 0;
  for (;;) {
    visited.insert(f);
    if (f == geometry_.rootCluster || f == 0) break;
    uint32_t got = 0;
    int rc = ReadSectors(sector.data(), 1, ClusterSector(f), got);
    if (rc != 0 || got == 0) {
      result = rc ? rc : kReadFault;
      break;
    }
    ByteView view(sector.data(), sector.size());
    const FatDirEntry second(view.Sub(FatDirEntry::kSize, FatDirEntry::kSize));
    auto known = folderMap_.find(f);
    if (!StartsOwnFolderCluster(view, known != folderMap_.end() && known->second.IsDeleted())) break;
    ++level;
    const uint32_t parent = second.FirstCluster();
    if (parent == 0 || visited.count(parent)) break;
    f = parent;
  }
  if (result == 0) levelCache_[start] = level;
  return result;
}

uint16_t CFastFatRecovery::ProbeHighWord(uint16_t low, bool folder, const std::string& extension) {
  if (!folder && extension.empty()) return 0;
  std::vector<uint8_t> sector(geometry_.sectorSize);
  const uint64_t end = partitionStart_ + partitionSectors_;
  for (uint32_t h = 0; h <= kHighWordProbes; ++h) {
    const uint32_t c = (h << 16) | low;
    if (c < 2) continue;
    const uint64_t first = ClusterSector(c);
    if (first >= end) return 0;
    uint32_t got = 0;
    if (ReadSectors(sector.data(), 1, first, got) != 0 || got == 0) return 0;
    ByteView view(sector.data(), sector.size());
    if (folder) {
      const FatDirEntry first(view), second(view.Sub(FatDirEntry::kSize, FatDirEntry::kSize));
      if (first.HasDotName() && second.HasDotDotName()) return uint16_t(h);
    } else if (MatchesSignature(sector.data(), int(sector.size()), extension, reader_.get(),
                                int(geometry_.sectorSize), first) == 1) {
      return uint16_t(h);
    }
  }
  return 0;
}

uint32_t CFastFatRecovery::ContentCheck(uint32_t firstCluster, const std::string& name) {
  const std::string extension = ExtensionOfName(name);
  if (extension.empty() || firstCluster < 2) return 1;
  std::vector<uint8_t> sector(geometry_.sectorSize);
  const uint64_t first = ClusterSector(firstCluster);
  uint32_t got = 0;
  if (ReadSectors(sector.data(), 1, first, got) != 0 || got == 0) return 1;
  return CheckSignature(sector.data(), int(sector.size()), extension, reader_.get(),
                        int(geometry_.sectorSize), first) == 1 ? 1 : 0;
}

}  // namespace salvora
