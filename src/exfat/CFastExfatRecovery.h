#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <unordered_map>
#include <vector>

#include "exfat/ExfatAllocationBitmap.h"
#include "exfat/ExfatEntrySet.h"
#include "exfat/ExfatTable.h"
#include "exfat/ExfatUpcaseTable.h"
#include "fatfamily/FatUsageBitmap.h"
#include "output/FolderRecovery.h"
#include "platform/ErrorCodes.h"
#include "platform/RawSource.h"
#include "scan/FoundFileStore.h"
#include "scan/IScanLog.h"
#include "scan/StoredFindsEngine.h"
#include "storage/SectorReader.h"

namespace salvora {

class OutputFile;

// The quick engine for exFAT volumes: walks the folder tree from the root cluster and records
// every deleted file, every file of a deleted folder (deleted folders inside them too) and the
// folders leading to them, with long names, sizes and times. File data comes from one run where
// the entry says there is no FAT chain, from the FAT where the chain is still there, and for a
// deleted file whose chain was cleared from the clusters the allocation bitmap leaves free.
class CFastExfatRecovery : public StoredFindsEngine, public IScanLog, public IVolumeFacts, public IOpensShared {
 public:
  // Its records' kind (FoundFileRecord::EngineKind), kept in saved scans.
  static constexpr uint32_t kRecordKind = 5;
  // A folder holds at most 256 MiB of entries; a longer one is read that far.
  static constexpr uint64_t kMaxDirectoryBytes = 256ull * 1024 * 1024;
  static constexpr uint64_t kReportIntervalMs = 5000;

  CFastExfatRecovery();
  ~CFastExfatRecovery() override;

  int OpenImageFile(const std::string& path, char16_t driveLetter) override;
  int OpenDiskPartition(int diskNumber, uint64_t startSector, uint64_t sectorCount,
                        char16_t driveLetter) override;
  int Scan(const char* savedScanName) override;
  int RecoverFile(const FoundFileRecord* record, const std::string& destination,
                  int baseSeparatorCount) override;
  int NextUnusedRange(uint64_t& startSector, uint64_t& lengthSectors) override;
  int BuildUsageBitmap() override;
  int ReadForPreview(const FoundFileRecord* record, std::string& tempPath, uint8_t* buffer,
                     int& size, PreviewProgressCallback callback, void* userData) override;

  // Opens an already opened source (memory images in tests) as a volume starting at sector 0.
  int OpenSource(std::unique_ptr<platform::RawSource> source, char16_t driveLetter);
  int OpenShared(const SharedSource& source) override;

  bool IsOpen() const { return open_; }
  // The volume's sector size, in which partition start and entry sectors are counted.
  uint32_t SectorSize() const { return sectorSize_; }
  VolumeFacts Volume() const override { return {open_, sectorSize_, clusterBytes_, 0}; }
  uint64_t PartitionStart() const { return partitionStart_; }
  uint32_t ClusterBytes() const { return clusterBytes_; }
  uint32_t RootCluster() const { return rootCluster_; }
  const std::string& VolumeLabel() const { return label_; }
  FoundFileStore* Store() noexcept override { return store_.get(); }
  // The volume's allocation bitmap as read (every cluster in use when it could not be read).
  const ExfatAllocationBitmap& AllocationBitmap() const { return allocation_; }

  // Where a found file's data lies: its runs in order, and the bytes of them that hold data
  // (valid data length; the rest of the file reads as zeros). whole is false when fewer clusters
  // could be placed than the size needs.
  struct DataPlan {
    std::vector<ExfatRun> runs;
    uint64_t validBytes = 0;
    bool whole = true;
  };
  int PlanData(const FoundFileRecord& record, DataPlan& plan);

 private:
  struct Folder {
    FoundFileRecord record;   // written when a found file lies below it
    uint32_t parent = 0;
    uint32_t level = 0;       // depth of the folder itself, the root being 0
    uint64_t bytes = 0;
    bool noFatChain = false;
  };

  int OpenReader(std::unique_ptr<SectorReader> reader, uint64_t start, char16_t letter);
  int OpenPartition(std::unique_ptr<SectorReader> reader, uint64_t startSector, uint64_t sectorCount,
                    char16_t driveLetter);
  int ReadBoot();
  int ReadVolumeFiles();
  int ReadClusters(const std::vector<ExfatRun>& runs, uint64_t maxBytes, std::vector<uint8_t>& out);
  int ReadSectors(uint8_t* buffer, uint32_t count, uint64_t sector, uint32_t& got);
  uint64_t SourceSectors() const;
  uint64_t ClusterSector(uint32_t cluster) const;

  // Scan steps.
  int WalkFolder(uint32_t id);
  void FolderRuns(uint32_t first, uint64_t bytes, bool noFatChain, bool deleted,
                  std::vector<ExfatRun>& runs);
  int RecordSet(const ExfatEntrySet& set, uint32_t parent, bool parentDeleted, uint64_t entrySector);
  Folder FolderOf(const ExfatEntrySet& set, uint32_t parent, uint32_t parentLevel, bool deleted,
                  uint64_t entrySector) const;
  int WriteFolderRecord(uint32_t id, const Folder& folder);
  void NoteFoldersToWrite(uint32_t id);
  int WriteFolderRecords();
  void FillCommon(FoundFileRecord& r, const ExfatEntrySet& set) const;
  uint32_t ContentCheck(uint32_t firstCluster, const std::string& name);
  void ClaimRun(uint32_t first, uint64_t bytes);
  void ApplyRunClaims();
  int Report(int percent, int remaining);

  // Recovery steps.
  int FindEntrySet(const FoundFileRecord& record, ExfatEntrySet& set);
  int CopyData(const FoundFileRecord& record, OutputFile* file, uint8_t* buffer, uint64_t bufferSize,
               uint64_t& copied, const CopyProgress& progress);

  std::unique_ptr<SectorReader> reader_;
  bool open_ = false;
  int openError_ = kInvalidParameter;
  uint64_t partitionStart_ = 0;    // in volume sectors
  uint64_t volumeSectors_ = 0;
  uint32_t sectorSize_ = 512;
  uint32_t sectorsPerCluster_ = 0;
  uint32_t clusterBytes_ = 0;
  uint32_t heapOffset_ = 0;
  uint32_t clusterCount_ = 0;
  uint32_t rootCluster_ = 0;
  char16_t driveLetter_ = 0;
  std::string label_;
  ExfatTable table_;
  ExfatUpcaseTable upcase_;
  ExfatAllocationBitmap allocation_;
  bool bitmapRead_ = false;
  ExfatAllocationBitmap claimed_;  // the bitmap with the clusters of deleted one-run files added
  // Deleted one-run files whose first cluster still holds their type's start, claimed after the
  // walk: one written before another deleted file starting at the same cluster was written over.
  struct RunClaim {
    uint32_t first = 0;
    uint64_t bytes = 0;
    uint64_t written = 0;
  };
  std::vector<RunClaim> runClaims_;
  std::unordered_map<uint32_t, uint64_t> lastWrittenAt_;  // first cluster -> latest deleted file's time
  FatUsageBitmap usage_;

  std::deque<uint32_t> pending_;
  std::unordered_set<uint32_t> walked_;
  std::map<uint32_t, Folder> folders_;
  // Deleted folders on the cluster of another deleted folder seen first: they lead to its content too.
  std::multimap<uint32_t, Folder> folderAliases_;
  static constexpr size_t kMaxFolderAliases = 4096;  // a hostile volume's many entries on one cluster
  std::vector<uint32_t> foldersToWrite_;
  std::unordered_set<uint32_t> foldersToWriteSet_;

  uint64_t lastReportMs_ = 0;
  int stepCounter_ = 1;
};

}  // namespace salvora
