#include "scan/ResultSet.h"

#include <algorithm>


namespace salvora {
namespace {

// A file without data of its own (empty, or no first cluster) is known by the sector holding
// its entry: the fast and the deep engine of one file system read the same entry there.
constexpr uint64_t kNoDataSize = UINT64_MAX;

bool ByIdentity(const auto& a, const auto& b) {
  return a.sector != b.sector ? a.sector < b.sector : a.size < b.size;
}

// Calls visit(record) for every record of the log, in record order. 0 or the read error.
template <typename Visit>
int EachRecord(FoundFileStore& store, Visit visit) {
  FoundFileRecord record;
  for (uint32_t n = 1; n <= store.TotalRecords(); ++n) {
    if (int rc = store.ReadRecord(n, record); rc != 0) return rc;
    visit(n, record);
  }
  return 0;
}

}  // namespace

void ResultSet::Clear() {
  built_ = false;
  for (auto& flags : flags_) FlagVector().swap(flags);
  std::vector<FileEntry>().swap(files_);
  fastClusterFolders_.clear();
  fastKind_ = UINT32_MAX;
  fastClusters_ = false;
  fastEntryRecords_.clear();
  aliasedFolders_.clear();
  mergedLists_.clear();
}

ResultSet::FlagVector& ResultSet::FlagsOf(uint32_t engineKind) {
  return flags_[engineKind < kEngineKinds ? engineKind : kFileTypeRecordKind];
}

const ResultSet::FlagVector* ResultSet::FlagsOf(uint32_t engineKind) const {
  return engineKind < kEngineKinds ? &flags_[engineKind] : nullptr;
}

bool ResultSet::Shows(uint32_t engineKind, uint32_t recordNumber) const {
  const FlagVector* flags = FlagsOf(engineKind);
  return !flags || recordNumber >= flags->size() || ((*flags)[recordNumber] & kHidden) == 0;
}

EngineSet ResultSet::FoundBy(const FoundFileRecord& record) const {
  const EngineSet own = EngineBit(record.EngineKind());
  const FlagVector* flags = FlagsOf(record.EngineKind());
  if (!flags || record.RecordNumber() >= flags->size()) return own;
  return own | ((*flags)[record.RecordNumber()] & kAllEngines);
}

uint32_t ResultSet::FastFolderOf(uint32_t deepKind, uint32_t objectId) const {
  auto it = aliasedFolders_.find(uint64_t(deepKind) << 32 | objectId);
  return it == aliasedFolders_.end() ? 0 : it->second;
}

const std::vector<RelationKey>* ResultSet::MergedLists(const FoundFileRecord& fastFolder) const {
  if (fastFolder.EngineKind() != fastKind_) return nullptr;
  auto it = mergedLists_.find(fastFolder.RecordNumber());
  return it == mergedLists_.end() ? nullptr : &it->second;
}

void ResultSet::AddFoundBy(const FileEntry& owner, EngineSet engines) {
  FlagVector& flags = FlagsOf(owner.kind);
  if (owner.number < flags.size()) flags[owner.number] |= engines;
}

bool ResultSet::IdentityOf(const FoundFileRecord& record, bool clusterRecord, const FirstSectorOf& firstSector,
                           bool readPlaced, FoundFileIdentity& identity) const {
  uint64_t sector = 0;
  if (clusterRecord) {
    if (record.FileSize() != 0 && ClusterFirstSector(record, sectorSize_, sector)) {
      identity = {sector, record.FileSize()};
    } else {
      identity = {record.EntrySector(), kNoDataSize};
    }
    return true;
  }
  if (!readPlaced || record.FileSize() == 0 || !firstSector || !firstSector(record, sector)) return false;
  identity = {sector, record.FileSize()};
  return true;
}

int ResultSet::ReadFast(const Log& log, const FirstSectorOf& firstSector, bool wantPlacedSectors) {
  FoundFileStore& store = *log.store;
  fastKind_ = log.kind;
  fastClusters_ = log.clusterRecords;
  FlagsOf(log.kind).assign(size_t(store.TotalRecords()) + 1, 0);
  const int rc = EachRecord(store, [&](uint32_t n, const FoundFileRecord& record) {
    const uint32_t kind = record.EngineKind();
    if (!log.clusterRecords) {
      if (record.EntrySector() != 0) fastEntryRecords_.push_back({record.EntrySector(), record.ObjectId(), n});
    } else if (record.IsFolder()) {
      // The fast scan writes its folder records without the partition start.
      FoundFileRecord placed = record;
      placed.SetPartitionStart(partitionStart_);
      uint64_t sector = 0;
      if (ClusterFirstSector(placed, sectorSize_, sector)) fastClusterFolders_.emplace(sector, n);
    }
    if (record.IsFolder()) return;
    FoundFileIdentity identity;
    if (!IdentityOf(record, log.clusterRecords, firstSector, wantPlacedSectors, identity)) return;
    files_.push_back({identity.sector, identity.size, ExtensionCode(record.Name()), kind, n});
  });
  std::stable_sort(files_.begin(), files_.end(), [](const FileEntry& a, const FileEntry& b) { return ByIdentity(a, b); });
  std::sort(fastEntryRecords_.begin(), fastEntryRecords_.end(),
            [](const EntryPlace& a, const EntryPlace& b) { return a.entrySector < b.entrySector; });
  return rc;
}

const ResultSet::EntryPlace* ResultSet::FastEntryAt(uint64_t entrySector) const {
  auto it = std::lower_bound(fastEntryRecords_.begin(), fastEntryRecords_.end(), entrySector,
                             [](const EntryPlace& p, uint64_t s) { return p.entrySector < s; });
  return it != fastEntryRecords_.end() && it->entrySector == entrySector ? &*it : nullptr;
}

ResultSet::FileEntry* ResultSet::FindFastFile(const FoundFileIdentity& identity, size_t fastFiles) {
  auto end = files_.begin() + std::ptrdiff_t(fastFiles);
  auto it = std::lower_bound(files_.begin(), end, identity,
                             [](const FileEntry& e, const FoundFileIdentity& id) { return ByIdentity(e, id); });
  return it != end && it->sector == identity.sector && it->size == identity.size ? &*it : nullptr;
}

int ResultSet::ReadDeepClusters(const Log& log, size_t fastFiles) {
  const uint32_t kind = log.kind;
  FlagVector& flags = FlagsOf(kind);
  flags.assign(size_t(log.store->TotalRecords()) + 1, 0);
  return EachRecord(*log.store, [&](uint32_t n, const FoundFileRecord& record) {
    if (record.IsFolder()) {
      uint64_t sector = 0;
      if (!fastClusters_ || !ClusterFirstSector(record, sectorSize_, sector)) return;
      auto fast = fastClusterFolders_.find(sector);
      if (fast == fastClusterFolders_.end()) return;
      flags[n] |= kHidden;
      aliasedFolders_[uint64_t(kind) << 32 | record.ObjectId()] = fast->second;
      FlagsOf(fastKind_)[fast->second] |= EngineBit(kind);
      return;
    }
    FoundFileIdentity identity;
    if (!IdentityOf(record, true, nullptr, false, identity)) return;
    if (FileEntry* fast = FindFastFile(identity, fastFiles)) {
      flags[n] |= kHidden;
      AddFoundBy(*fast, EngineBit(kind));
      return;
    }
    files_.push_back({identity.sector, identity.size, ExtensionCode(record.Name()), kind, n});
  });
}

int ResultSet::ReadDeepPlaced(const Log& log, const FirstSectorOf& firstSector, bool wantSectors) {
  const uint32_t kind = log.kind;
  FlagVector& flags = FlagsOf(kind);
  flags.assign(size_t(log.store->TotalRecords()) + 1, 0);
  return EachRecord(*log.store, [&](uint32_t n, const FoundFileRecord& record) {
    const EntryPlace* fast = record.EntrySector() != 0 ? FastEntryAt(record.EntrySector()) : nullptr;
    if (fast && fast->objectId == record.ObjectId()) {
      flags[n] |= kHidden;
      FlagsOf(fastKind_)[fast->fastNumber] |= EngineBit(kind);
      if (record.IsFolder()) aliasedFolders_[uint64_t(kind) << 32 | record.ObjectId()] = fast->fastNumber;
      return;
    }
    FoundFileIdentity identity;
    if (record.IsFolder() || !IdentityOf(record, false, firstSector, wantSectors, identity)) return;
    files_.push_back({identity.sector, identity.size, ExtensionCode(record.Name()), kind, n});
  });
}

int ResultSet::ReadCarved(FoundFileStore& store) {
  FlagVector& flags = FlagsOf(kFileTypeRecordKind);
  flags.assign(size_t(store.TotalRecords()) + 1, 0);
  return EachRecord(store, [&](uint32_t n, const FoundFileRecord& record) {
    const uint64_t sector = record.EntrySector();
    const uint32_t extension = ExtensionCode(record.Name());
    auto it = std::lower_bound(files_.begin(), files_.end(), sector,
                               [](const FileEntry& e, uint64_t s) { return e.sector < s; });
    // The first file-system record in trust order (the fast engine's sort first) stands for it.
    for (; it != files_.end() && it->sector == sector; ++it) {
      if (it->size == kNoDataSize || !SameFileByExtension(it->extension, extension)) continue;
      flags[n] |= kHidden;
      AddFoundBy(*it, EngineBit(kFileTypeRecordKind));
      return;
    }
  });
}

void ResultSet::CollectMergedLists(FoundFileStore& store, uint32_t deepKind) {
  for (const auto& [key, numbers] : store.Relations()) {
    const uint32_t fastNumber = FastFolderOf(deepKind, RelationKeyParent(key));
    if (fastNumber != 0) mergedLists_[fastNumber].push_back(key);
  }
}

int ResultSet::Build(const Stores& stores, const FirstSectorOf& firstSector) {
  Clear();
  // Placed records say where their data starts only in the structure on the source: read them
  // only when there are carved files to compare with.
  const bool wantPlacedSectors = stores.carved && stores.carved->TotalRecords() > 0;
  int result = 0;
  auto keep = [&result](int rc) {
    if (result == 0) result = rc;
  };
  if (stores.fast.store) keep(ReadFast(stores.fast, firstSector, wantPlacedSectors));
  const size_t fastFiles = files_.size();
  // Cluster records first: they are matched against the fast files alone.
  for (const Log& log : stores.sweeps)
    if (log.store && log.clusterRecords) keep(ReadDeepClusters(log, fastFiles));
  for (const Log& log : stores.sweeps)
    if (log.store && !log.clusterRecords) keep(ReadDeepPlaced(log, firstSector, wantPlacedSectors));
  // Deep finds after the fast ones at the same sector: the fast record stands first.
  std::stable_sort(files_.begin(), files_.end(), [](const FileEntry& a, const FileEntry& b) { return a.sector < b.sector; });
  if (stores.carved) keep(ReadCarved(*stores.carved));
  for (const Log& log : stores.sweeps)
    if (log.store) CollectMergedLists(*log.store, log.kind);
  built_ = true;
  return result;
}

}  // namespace salvora
