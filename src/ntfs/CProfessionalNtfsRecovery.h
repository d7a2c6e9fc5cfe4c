#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "ntfs/DataRun.h"
#include "ntfs/FileRecordSummary.h"
#include "ntfs/MftMap.h"
#include "ntfs/NtfsFileData.h"
#include "ntfs/NtfsRecordHelper.h"
#include "ntfs/RecordCache.h"
#include "platform/RawSource.h"
#include "scan/FoundFileStore.h"
#include "scan/ISweepEngine.h"
#include "scan/StoredFindsEngine.h"
#include "storage/SectorReader.h"

namespace salvora {

// The deep NTFS engine of the advanced scan. It is handed every FILE record that the sweep meets
// anywhere on the source and reports every record that is not a directory, deleted or in use.
// Parent folders are found through the file tables ($MFT records) met so far, or by taking the
// table to be contiguous; so folder trees come back even from volumes formatted over, or whose
// boot sector or file table is gone. It never writes to the source.
class CProfessionalNtfsRecovery : public StoredFindsEngine, public ISweepEngine, public IDataPlacement,
                                  public INtfsRecordLookups {
 public:
  // Its records' kind and its log's name prefix in a session, kept in saved scans.
  static constexpr uint32_t kRecordKind = 2;
  static constexpr char kLogPrefix[] = "Pro_Ntfs_";
  static constexpr uint32_t kRootRecord = 5;
  static constexpr uint32_t kLastSystemRecord = 11;
  static constexpr size_t kRecordBuffer = 8192;
  static constexpr uint32_t kInitialClusterEstimate = 8;
  static constexpr int kImageSectorSize = 512;
  // Parent records kept for the files that follow (4 MiB of 1 KiB records).
  static constexpr size_t kParentCacheRecords = 4096;
  // Results of the record lookups besides 0, 87 and the reader's errors.
  static constexpr int kNotFileRecordMagic = -1;
  static constexpr int kNoAttribute = -100;
  static constexpr int kNotResidentData = -101;

  enum class Pass { File, Folder };

  // One folder to be read in the folder pass, with the file-table context of its first reference
  // (the sweep may meet records of several volumes).
  struct FolderRef {
    uint32_t record = 0;
    uint32_t sectorsPerCluster = 0;
    uint64_t volumeStart = 0;
    MftLayout layout;
  };

  CProfessionalNtfsRecovery();
  ~CProfessionalNtfsRecovery() override;

  // An image has 512-byte sectors unless the caller knows better (see below).
  int OpenImageFile(const std::string& path, char16_t driveLetter) override;
  // An image whose sector size is known, from the boot sector that the fast engine recognised:
  // a 4,096-byte-sector volume copied into a file keeps its 4,096-byte sectors and records.
  int OpenImageFile(const std::string& path, char16_t driveLetter, int sectorSize);
  int OpenDiskPartition(int diskNumber, uint64_t startSector, uint64_t sectorCount,
                        char16_t driveLetter) override;
  // Reads the source the advanced scan has open, without opening it again: as an image in sectors
  // of imageSectorSize bytes, or as a disk partition (startSector, sectorCount) in the disk's own.
  int ShareSource(const SectorReader& source, bool image, uint64_t startSector,
                  uint64_t sectorCount, int imageSectorSize, char16_t driveLetter);
  // The coordinator drives the scan through BeginScan, OnFileRecord and FolderPass.
  int Scan(const char* savedScanName) override;
  // Counting from the top starts at the root folder's record, not at the log's first key.
  int CountFiles(const FoundFileRecord* folder, int depth, int& count) override {
    return CountBelow(folder, depth, kRootRecord, count);
  }
  int RecoverFile(const FoundFileRecord* record, const std::string& destination,
                  int baseSeparatorCount) override;
  int NextUnusedRange(uint64_t& startSector, uint64_t& lengthSectors) override;
  // Without a store (no scan begun) there is nothing to search: 87.
  int SetSearchCallback(SearchProgressCallback callback, void* userData) override;
  int BuildUsageBitmap() override;
  int ReadForPreview(const FoundFileRecord* record, std::string& tempPath, uint8_t* buffer, int& size,
                     PreviewProgressCallback callback, void* userData) override;

  // Empty: a new "Pro_Ntfs_" scan log; otherwise reopens that saved log.
  int BeginScan(const std::string& scanLogName);
  // One FILE record found at absoluteSector; length bytes are readable at record.
  int OnFileRecord(const uint8_t* record, size_t length, uint64_t absoluteSector);
  // Adds the folders that the found files refer to.
  int FolderPass();

  // The sweep's view (ISweepEngine): BeginScan, FILE records (the sweep offers the whole record),
  // FolderPass.
  // The sectors it claims in the sweep (IsFileRecord; the code the deep-sector log keeps).
  static constexpr SweptKind kSweptFileRecord = 1;
  int AttachSource(const SharedSource& source) override {
    return ShareSource(*source.reader, source.image, source.startSector, source.image ? 0 : source.sectorCount,
                       source.image ? source.sectorSize : 0, source.driveLetter);
  }
  int BeginSweep(const std::string& logName) override { return BeginScan(logName); }
  int OfferSector(const SweptSector& sector, const SweepPosition& at, uint64_t& skip) override;
  int FinishSweep() override { return FolderPass(); }
  // Appends the runs of the first attribute of type in the FILE record at absoluteSector.
  // 0, a read error, -1 (no "FILE"), -100 (no such attribute), 87 (an attribute list comes first).
  int GetAttributeRuns(uint64_t absoluteSector, uint32_t type, RunList& runs);
  // The first cluster of the data of an NTFS record (fast or deep), read from its FILE record.
  bool FirstDataSector(const FoundFileRecord& record, uint32_t sectorSize, uint64_t& sector) override;

  // Handles one record (kRecordBuffer bytes, fixed up in place) found at sector s; p is the folder
  // number it was read for in the folder pass.
  int ProcessFoundRecord(uint8_t* record, uint64_t s, Pass pass, uint32_t p);
  // Replaces the cluster estimate by what the record's $DATA implies, when it implies anything.
  int InferClusterSize(uint8_t* record);
  // 1 when the file's first data is plausible for its extension or cannot be checked, else 0.
  int CheckFileContent(const FoundFileRecord& entry);

  uint32_t ClusterEstimate() const { return clusterEstimate_; }
  void SetClusterEstimate(uint32_t spc) { clusterEstimate_ = spc; }
  int BytesPerSector() const { return helper_.BytesPerSector(); }
  uint64_t VolumeStart() const { return volumeStart_; }
  uint64_t TotalSectors() const { return totalSectors_; }
  const MftMap& Tables() const { return mftMap_; }
  MftMap& Tables() { return mftMap_; }
  const std::vector<FolderRef>& Folders() const { return folders_; }
  void SetParentCacheEnabled(bool enabled) { parentCacheEnabled_ = enabled; }
  FoundFileStore* Store() noexcept override { return store_.get(); }

  // Variants of the record lookups for a found record: the record at its entry sector, walked
  // within one record. -101 (not resident or no $DATA), 87, 0.
  int ReadResidentData(uint64_t sector, std::string_view stream, uint8_t* out, size_t outSize,
                       int& length) override;
  // The runs of the stream's $DATA and its compression unit: 0, -1, -100 (none, or an attribute
  // list first), 87, a read error.
  int GetDataRuns(uint64_t sector, std::string_view stream, StreamLayout& layout) override;

 private:
  // imageSectorSize: the sector size of an image (ignored for a disk, whose geometry tells).
  int Open(const std::string& path, int diskNumber, uint64_t startSector, uint64_t sectorCount,
           bool image, char16_t driveLetter, int imageSectorSize = kImageSectorSize);
  // Reads kRecordBuffer bytes at sector; 0 or the reader's error.
  int ReadRecord(uint64_t sector, std::vector<uint8_t>& buffer);
  // ReadRecord through the parent cache (only the record itself is filled in).
  int ReadParentRecord(uint64_t sector, std::vector<uint8_t>& buffer);
  // Reads and fixes up the record at sector. 0, -1 or a read error.
  int LoadRecord(uint64_t sector, std::vector<uint8_t>& buffer);
  int WalkParentChain(uint32_t p, uint64_t volumeStart, uint32_t spc, const MftLayout& layout,
                      uint32_t& depth);
  void NoteFolder(uint32_t p, uint64_t volumeStart, uint32_t spc, const MftLayout& layout);
  uint64_t LocateFolder(const FolderRef& ref) const;
  FoundFileRecord BuildFoundRecord(const FileRecordSummary& summary, Pass pass) const;
  void AddLostFolder(uint32_t k);
  int StoreRecord(const FoundFileRecord& record, uint32_t parent, uint32_t depth, bool folder);
  uint32_t AllocationUnit() const { return clusterEstimate_ * uint32_t(helper_.BytesPerSector()); }

  SectorReader reader_;
  NtfsRecordHelper helper_;
  bool opened_ = false;
  bool parentCacheEnabled_ = true;
  uint64_t volumeStart_ = 0;
  uint64_t totalSectors_ = 0;
  char16_t driveLetter_ = 0;
  uint32_t clusterEstimate_ = kInitialClusterEstimate;

  MftMap mftMap_;
  std::vector<FolderRef> folders_;
  std::unordered_map<uint32_t, size_t> folderIndex_;
  // Folders a resumed scan's log holds already: written before the cut, never twice.
  std::unordered_set<uint32_t> savedFolders_;
  std::vector<uint8_t> record_;  // the record being processed
  std::vector<uint8_t> parent_;  // a parent read while climbing a chain
  RecordCache parentCache_{kParentCacheRecords, 1024};

  NtfsFileData data_{reader_, *this, *this};
};

}  // namespace salvora
