#pragma once

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

#include "scan/FoundFileIdentity.h"
#include "scan/FoundFileStore.h"
#include "scan/RelationKey.h"

namespace salvora {

// One result set over the engines of an advanced scan: every found file once. It is
// computed from the engines' logs after the scan (the logs keep their format) and answers, for
// each record, whether the listing shows it and which engines found it.
//
// The rules, in order of trust: a file-system record of the fast engine stands for the deep
// engines' and carving's finds of the same file; a deep record that was not found by the fast
// engine stands for carving's. Files are the same when they point at the same data (first data
// sector and size, FoundFileIdentity). Two styles of record are known: cluster records (their
// first cluster in the record: a deep folder whose directory starts where a folder the fast scan
// walked starts is that folder) and placed records (their data found through the structure they
// were read from: a deep record read from the same place with the same record number as a fast
// record is that record). A carved file is dropped
// when a file-system file starts at its first sector with the same extension (a .thm file-system
// record also stands for a carved .jpg), so a picture stored as .dat is still offered carved.
//
// Memory: four bytes per record of every log, 32 bytes per file-system file, and the folders the
// fast scan walked; no read of the source besides what firstSector does for records placed by their entry.
class ResultSet {
 public:
  // One engine's log: the kind of its records, and whether they are cluster records.
  struct Log {
    FoundFileStore* store = nullptr;
    uint32_t kind = 0;
    bool clusterRecords = false;
  };
  struct Stores {
    Log fast;
    std::vector<Log> sweeps;  // in the order of trust among themselves
    FoundFileStore* carved = nullptr;
  };
  // The absolute first data sector of a file-system file record; false when it has none.
  using FirstSectorOf = std::function<bool(const FoundFileRecord&, uint64_t&)>;

  // Reads the logs once, each from its first record to its last. 0 or the first read error (the
  // records read until then still count).
  int Build(const Stores& stores, const FirstSectorOf& firstSector);
  void Clear();
  bool Built() const { return built_; }

  // Whether the listing shows the record; false when another engine's record stands for it.
  bool Shows(const FoundFileRecord& record) const { return Shows(record.EngineKind(), record.RecordNumber()); }
  bool Shows(uint32_t engineKind, uint32_t recordNumber) const;
  // The engines that found the file or folder the record stands for (its own among them).
  EngineSet FoundBy(const FoundFileRecord& record) const;
  // The fast engine's record number of the folder a hidden deep folder is, or 0.
  uint32_t FastFolderOf(uint32_t deepKind, uint32_t recordNumber) const;
  // The lists of the deep store (of the fast record's file system) that belong to a fast folder:
  // the same directory found again by the deep engine. nullptr when there are none.
  const std::vector<RelationKey>* MergedLists(const FoundFileRecord& fastFolder) const;

 private:
  // A file-system file: its identity, its extension (packed, see ExtensionCode) and the record
  // that stands for it.
  struct FileEntry {
    uint64_t sector = 0;
    uint64_t size = 0;
    uint32_t extension = 0;
    uint32_t kind = 0;    // of the record that stands for it
    uint32_t number = 0;
  };
  using FlagVector = std::vector<uint32_t>;
  struct EntryPlace {
    uint64_t entrySector = 0;
    uint32_t objectId = 0;  // the engine's own number for the entry
    uint32_t fastNumber = 0;
  };

  static constexpr uint32_t kHidden = 0x80000000u;

  int ReadFast(const Log& log, const FirstSectorOf& firstSector, bool wantPlacedSectors);
  int ReadDeepClusters(const Log& log, size_t fastFiles);
  int ReadDeepPlaced(const Log& log, const FirstSectorOf& firstSector, bool wantSectors);
  int ReadCarved(FoundFileStore& store);
  void CollectMergedLists(FoundFileStore& store, uint32_t deepKind);
  const EntryPlace* FastEntryAt(uint64_t entrySector) const;
  bool IdentityOf(const FoundFileRecord& record, bool clusterRecord, const FirstSectorOf& firstSector,
                  bool readPlaced, FoundFileIdentity& identity) const;
  FileEntry* FindFastFile(const FoundFileIdentity& identity, size_t fastFiles);
  void AddFoundBy(const FileEntry& owner, EngineSet engines);
  FlagVector& FlagsOf(uint32_t engineKind);
  const FlagVector* FlagsOf(uint32_t engineKind) const;

  bool built_ = false;
  uint32_t sectorSize_ = 512;
  uint64_t partitionStart_ = 0;
  static constexpr uint32_t kEngineKinds = 31;  // one bit each in an EngineSet
  FlagVector flags_[kEngineKinds];
  std::vector<FileEntry> files_;
  // Folders the fast scan walked, by their directory's first sector (cluster records), and the
  // fast scan's placed records by the sector they were read from; with the fast record numbers.
  std::unordered_map<uint64_t, uint32_t> fastClusterFolders_;
  uint32_t fastKind_ = UINT32_MAX;
  bool fastClusters_ = false;
  std::vector<EntryPlace> fastEntryRecords_;  // sorted by entry sector
  // Hidden deep folders (deep kind << 32 | object id) and the fast folder each one is.
  std::unordered_map<uint64_t, uint32_t> aliasedFolders_;
  std::unordered_map<uint32_t, std::vector<RelationKey>> mergedLists_;  // by fast record number

 public:
  // The sector size cluster records are counted in, and the partition the fast engine read (its
  // folder records leave the partition start out).
  void SetVolume(uint32_t sectorSize, uint64_t partitionStart) {
    sectorSize_ = sectorSize ? sectorSize : 512;
    partitionStart_ = partitionStart;
  }
};

}  // namespace salvora
