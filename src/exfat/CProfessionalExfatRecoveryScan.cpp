// The sector-by-sector part of the deep exFAT scan: entry sets read from directory sectors (with
// the sectors after them when a set runs over), and the final pass that settles the tree.
#include <algorithm>
#include <unordered_set>

#include "carving/SignatureScanner.h"
#include "exfat/CProfessionalExfatRecovery.h"
#include "fatfamily/StoredFragments.h"
#include "exfat/ExfatDirectoryEntry.h"
#include "exfat/ExfatSweptSector.h"
#include "platform/ErrorCodes.h"
#include "scan/EngineTypes.h"
#include "scan/ExtensionLists.h"

namespace salvora {
namespace {

constexpr size_t kEntry = ExfatDirectoryEntry::kSize;
// A file entry and its 18 secondaries at most (stream, 17 name entries for 255 units).
constexpr size_t kMaxSetBytes = 19 * kEntry;

}  // namespace

int CProfessionalExfatRecovery::OfferSector(const SweptSector& sector, const SweepPosition&, uint64_t&) {
  if (sector.kind != kSweptSector || !sector.bytes || sector.length < sectorSize_ || !store_)
    return kOk;
  const ByteView available(sector.bytes, sector.length);
  if (IsExfatBootSectorAt(available)) {
    AdoptBootSector(sector.bytes, sectorSize_, sector.address);
    return kOk;
  }
  TakeDirectorySector(sector);
  return kOk;
}

int CProfessionalExfatRecovery::LayoutHolding(uint64_t sector) const {
  // The volume that starts last before the sector: a disk's volumes follow each other.
  int best = -1;
  for (size_t i = 0; i < layouts_.size(); ++i) {
    if (layouts_[i].ClusterHolding(sector) == 0) continue;
    if (best < 0 || layouts_[i].heapStart > layouts_[size_t(best)].heapStart) best = int(i);
  }
  return best;
}

ByteView CProfessionalExfatRecovery::BytesFrom(const SweptSector& sector, uint64_t offset, size_t bytes) {
  if (offset < sector.length && sector.length - offset >= bytes)
    return ByteView(sector.bytes + offset, sector.length - offset);
  // The set runs past what the sweep holds: its sectors are read afresh (a directory's clusters
  // lie one after the other more often than not).
  const uint64_t first = sector.address + offset / sectorSize_;
  const size_t skip = size_t(offset % sectorSize_);
  const uint32_t count = uint32_t((skip + bytes + sectorSize_ - 1) / sectorSize_);
  scratch_.assign(size_t(count) * sectorSize_, 0);
  uint32_t got = 0;
  reader_->ReadSectors(scratch_.data(), count, first, int(sectorSize_), got);
  return ByteView(scratch_.data() + skip, size_t(got) * sectorSize_ > skip ? size_t(got) * sectorSize_ - skip : 0);
}

void CProfessionalExfatRecovery::TakeDirectorySector(const SweptSector& sector) {
  const int layout = LayoutHolding(sector.address);
  if (layout < 0) return;  // no volume known to place it in
  const uint32_t dirCluster = layouts_[size_t(layout)].ClusterHolding(sector.address);
  directories_.try_emplace(dirCluster, layout);
  const size_t entries = sectorSize_ / kEntry;
  size_t i = 0;
  // A set cut by the cluster's start (its file entry ends the directory's previous cluster) still
  // names a file and holds its clusters: without it, another file's placing would take them.
  ExfatEntrySet tail;
  if (dirCluster >= 2 && sector.address == layouts_[size_t(layout)].ClusterSector(dirCluster) &&
      ExfatEntrySet::ParseTail(BytesFrom(sector, 0, kMaxSetBytes), upcase_, tail) == ExfatEntrySet::Status::Ok) {
    RecordSet(tail, dirCluster, sector.address, layout);
    i = tail.EntryCount() - 1;  // the entries present: the stream and its names
  }
  for (; i < entries; ++i) {
    const ExfatDirectoryEntry entry(ByteView(sector.bytes + i * kEntry, kEntry));
    if (entry.IsEndOfDirectory()) break;
    // Only a volume's root holds its allocation bitmap and up-case table.
    if (entry.Type() == ExfatDirectoryEntry::kBitmap || entry.Type() == ExfatDirectoryEntry::kUpcase)
      roots_.insert(dirCluster);
    if (!entry.Is(ExfatDirectoryEntry::kFile)) continue;
    ExfatEntrySet set;
    if (ExfatEntrySet::Parse(BytesFrom(sector, i * kEntry, kMaxSetBytes), upcase_, set) !=
        ExfatEntrySet::Status::Ok)
      continue;
    RecordSet(set, dirCluster, sector.address, layout);
    i += set.EntryCount() - 1;
  }
}

FoundFileRecord CProfessionalExfatRecovery::RecordOf(const ExfatEntrySet& set, uint64_t entrySector,
                                                     int layout) const {
  const ExfatClusterLayout& l = layouts_[size_t(layout)];
  FoundFileRecord r;
  r.SetDriveLetter(driveLetter_);
  r.SetEngineKind(kRecordKind);
  r.SetFolder(set.IsDirectory());
  r.SetDeleted(set.IsDeleted());
  r.SetContentCheck(1);
  r.SetObjectId(set.FirstCluster());
  r.SetClusterSize(l.sectorsPerCluster * sectorSize_);
  r.SetCreationTime(set.CreationTime());
  r.SetAccessTime(set.AccessTime());
  r.SetWriteTime(set.ModifyTime());
  if (!set.IsDirectory()) r.SetFileSize(set.DataLength());
  r.SetDataAreaStart(l.heapStart - l.volumeStart);
  r.SetPartitionStart(l.volumeStart);
  r.SetEntrySector(entrySector);
  r.SetName(set.Name());
  return r;
}

uint32_t CProfessionalExfatRecovery::ContentCheck(const FoundFileRecord& r) {
  const std::string extension = LowerExtensionOf(r.Name());
  if (extension.empty() || r.ObjectId() < 2 || r.FileSize() == 0) return 1;
  const uint64_t at = r.PartitionStart() + r.DataAreaStart() +
                      uint64_t(r.ObjectId() - 2) * (r.ClusterSize() / sectorSize_);
  std::vector<uint8_t> first(sectorSize_);
  uint32_t got = 0;
  if (reader_->ReadSectors(first.data(), 1, at, int(sectorSize_), got) != kOk || got != 1) return 1;
  return CheckSignature(first.data(), int(sectorSize_), extension, reader_.get(), int(sectorSize_), at) == 1 ? 1 : 0;
}

void CProfessionalExfatRecovery::RecordSet(const ExfatEntrySet& set, uint32_t dirCluster,
                                           uint64_t entrySector, int layout) {
  FoundFileRecord r = RecordOf(set, entrySector, layout);
  if (set.IsDirectory()) {
    const uint32_t cluster = set.FirstCluster();
    if (cluster < 2 || cluster == dirCluster) return;
    auto existing = folders_.find(cluster);
    // A live entry names a folder better than a deleted one left behind for the same cluster.
    if (existing != folders_.end() && !existing->second.record.IsDeleted() && set.IsDeleted()) return;
    if (existing == folders_.end() && folders_.size() >= kMaxFolders) return;
    FolderFind& f = folders_[cluster];
    f.record = r;
    f.parent = dirCluster;
    f.layout = layout;
    const uint64_t clusterBytes = r.ClusterSize();
    f.clusters = set.NoFatChain() && clusterBytes
                     ? uint32_t(std::clamp<uint64_t>((set.DataLength() + clusterBytes - 1) / clusterBytes, 1, UINT32_MAX))
                     : 1;
    return;
  }
  if (files_.size() >= kMaxFiles) return;
  r.SetContentCheck(ContentCheck(r));
  uint32_t number = 0;
  FoundFileRecord* slot = store_->AppendRecord(number);
  if (!slot) return;
  *slot = r;
  slot->SetRecordNumber(number);
  files_.push_back({number, dirCluster, r.ObjectId()});
}

// ---- the final pass ---------------------------------------------------------------------------

uint32_t CProfessionalExfatRecovery::FolderOfDirectory(uint32_t cluster) const {
  if (folders_.count(cluster)) return cluster;
  if (roots_.count(cluster)) return 0;
  // A later cluster of a folder whose directory is one run.
  auto after = folders_.upper_bound(cluster);
  if (after != folders_.begin()) {
    const auto& [first, folder] = *std::prev(after);
    if (uint64_t(cluster) < uint64_t(first) + folder.clusters) return first;
  }
  return cluster;  // a folder whose own entry was never met
}

uint32_t CProfessionalExfatRecovery::DepthOf(uint32_t folderId) const {
  // The number of folders from the top down to folderId; links were cut where they looped.
  if (folderId == 0) return 0;
  if (auto memo = depths_.find(folderId); memo != depths_.end()) return memo->second;
  uint32_t depth = 0;
  for (uint32_t id = folderId; id != 0 && depth < kMaxDepth; ++depth) {
    auto up = parentOf_.find(id);
    id = up == parentOf_.end() ? 0 : up->second;
  }
  depths_.emplace(folderId, depth);
  return depth;
}

int CProfessionalExfatRecovery::WriteFolders() {
  // Every folder's parent: the folder of the directory holding its entry; directories without
  // a folder entry become LostFolderN at the top.
  for (const auto& [cluster, folder] : folders_) parentOf_[cluster] = FolderOfDirectory(folder.parent);
  std::map<uint32_t, int> lost;
  auto noteLost = [&](uint32_t dirCluster, int layout) {
    const uint32_t id = FolderOfDirectory(dirCluster);
    if (id != 0 && !folders_.count(id)) {
      lost.try_emplace(id, layout);
      parentOf_.try_emplace(id, 0);
    }
  };
  for (const auto& [cluster, layout] : directories_) noteLost(cluster, layout);
  for (const auto& [cluster, folder] : folders_) noteLost(folder.parent, folder.layout);
  // A hostile medium can make folders each other's parents: the loop is cut at the folder where
  // the walk up meets itself, which then stands at the top.
  for (auto& [id, parent] : parentOf_) {
    std::unordered_set<uint32_t> seen{id};
    uint32_t up = parent;
    for (uint32_t steps = 0; up != 0 && steps < kMaxDepth; ++steps) {
      if (!seen.insert(up).second) {
        parent = 0;
        break;
      }
      auto next = parentOf_.find(up);
      up = next == parentOf_.end() ? 0 : next->second;
    }
    if (up != 0) parent = 0;  // deeper than any listing goes
  }
  auto write = [&](const FoundFileRecord& record, uint32_t id) {
    uint32_t number = 0;
    FoundFileRecord* slot = store_->AppendRecord(number);
    if (!slot) return store_->LastWriteError();
    *slot = record;
    slot->SetRecordNumber(number);
    const uint32_t parent = parentOf_[id];
    store_->AddRelation(parent, DepthOf(parent), number, id, std::string(record.Name()).c_str());
    return kOk;
  };
  for (const auto& [cluster, folder] : folders_)
    if (int rc = write(folder.record, cluster); rc != kOk) return rc;
  for (const auto& [cluster, layout] : lost) {
    const ExfatClusterLayout& l = layouts_[size_t(layout)];
    FoundFileRecord r;
    r.SetDriveLetter(driveLetter_);
    r.SetEngineKind(kRecordKind);
    r.SetFolder(true);
    r.SetContentCheck(1);
    r.SetObjectId(cluster);
    r.SetClusterSize(l.sectorsPerCluster * sectorSize_);
    r.SetDataAreaStart(l.heapStart - l.volumeStart);
    r.SetPartitionStart(l.volumeStart);
    r.SetName("LostFolder" + std::to_string(cluster));
    if (int rc = write(r, cluster); rc != kOk) return rc;
  }
  return kOk;
}

int CProfessionalExfatRecovery::PlaceFiles() {
  for (const FileFind& file : files_) {
    const uint32_t parent = FolderOfDirectory(file.parent);
    store_->AddRelation(parent, DepthOf(parent), file.number, file.objectId, nullptr);
  }
  return store_->LastWriteError();
}

int CProfessionalExfatRecovery::FinishSweep() {
  if (!store_) return kInvalidParameter;
  int rc = WriteFolders();
  const int files = PlaceFiles();
  if (rc == kOk) rc = files;
  std::set<uint64_t> folderSectors;
  for (const auto& [cluster, layout] : directories_)
    if (cluster >= 2) folderSectors.insert(layouts_[size_t(layout)].ClusterSector(cluster));
  const int placed = reader_ ? PlaceStoredFragments(*store_, *reader_, sectorSize_,
                                                    SweepEndProgress(scanCallback_, userData_, progressWeight_),
                                                    folderSectors)
                             : kOk;
  const int flushed = store_->Flush();
  if (rc == kOk) rc = flushed;
  if (rc == kOk) rc = placed;
  ResetScanState();  // the tree is in the log now
  return rc;
}

}  // namespace salvora
