#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "fatfamily/FatFragmentClaims.h"
#include "fat/FatGeometry.h"
#include "fatfamily/FatTable.h"
#include "fatfamily/FatUsageBitmap.h"
#include "output/FolderRecovery.h"
#include "platform/ErrorCodes.h"
#include "platform/RawSource.h"
#include "scan/FileLayout.h"
#include "scan/FoundFileStore.h"
#include "scan/IScanLog.h"
#include "scan/StoredFindsEngine.h"
#include "storage/SectorReader.h"

namespace salvora {

class FatDirEntry;

// The quick engine for FAT12/16/32 volumes: walks the folder tree breadth-first from the root
// through the allocation table and records every deleted file, every file inside a deleted
// folder and the folders leading to them. It also recovers and previews what it found and maps
// the allocated clusters for the advanced scan.
class CFastFatRecovery : public StoredFindsEngine, public IScanLog, public IVolumeFacts, public IOpensShared {
 public:
  // Its records' kind (FoundFileRecord::EngineKind), kept in saved scans.
  static constexpr uint32_t kRecordKind = 1;
  static constexpr uint32_t kBootBytes = 4096;
  // The highest data cluster a table entry can name (the values above mark bad clusters and ends).
  static constexpr uint32_t kMaxFat16Cluster = 0xFFF6;
  static constexpr uint32_t kMaxFat32Cluster = 0x0FFFFFF6;
  static constexpr uint32_t kMaxClusterBytes = 104857600;
  static constexpr uint32_t kFolderLevelBytes = 4096;
  static constexpr uint32_t kHighWordProbes = 256;
  static constexpr uint64_t kReportIntervalMs = 5000;
  // Clusters a deleted file may step over (in use or another's) to find the rest of its clusters.
  static constexpr uint32_t kFragmentSkipClusters = 1u << 18;

  CFastFatRecovery();
  ~CFastFatRecovery() override;

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
  const FatGeometry& Geometry() const { return geometry_; }
  uint64_t PartitionStart() const { return partitionStart_; }
  uint64_t PartitionSectors() const { return partitionSectors_; }
  FoundFileStore* Store() noexcept override { return store_.get(); }
  VolumeFacts Volume() const override;
  // The root folder's id in relation keys: FAT32's root cluster, 0 for the fixed root.
  uint32_t RootId() const { return geometry_.rootCluster; }

  // Absolute first sector of cluster c; cluster 0 names the fixed root on FAT12/16.
  uint64_t ClusterSector(uint32_t c) const;
  int FatEntry(uint32_t c, uint32_t& value) { return table_.Entry(c, value); }
  int NextCluster(uint32_t c, uint32_t& next) { return table_.Next(c, next); }
  // Clusters of a chain that follow one another on the volume, read in one go.
  struct ChainRun {
    uint32_t clusters = 1;
    uint32_t last = 0;        // the run's last cluster
    uint32_t next = 0;        // the cluster after the run (0: the chain ends), when !needsNext
    bool needsNext = true;    // the run covers all that is owed: the chain was not followed past it
    int error = 0;            // the table could not be read past `last`
  };
  // The run starting at first: at most limit clusters, no more than cover `owed` bytes.
  ChainRun FollowRun(uint32_t first, uint32_t limit, uint64_t owed, uint32_t clusterBytes);
  // Depth of folder f below the root, climbing ".." entries.
  int FolderLevel(uint32_t f, uint32_t& level);
  // The high cluster half of a deleted FAT32 entry whose high half reads 0.
  uint16_t ProbeHighWord(uint16_t low, bool folder, const std::string& extension);
  const FatUsageBitmap& UsageBitmap() const { return bitmap_; }

 private:

  int OpenReader(std::unique_ptr<SectorReader> reader, uint64_t start, uint64_t count,
                 char16_t letter, bool countFromSource);
  int ReadBootAndGeometry(uint64_t volumeBytes);
  int ReadSectors(uint8_t* buffer, uint32_t count, uint64_t sector, uint32_t& got);
  uint64_t SourceSectors() const;

  // Scan steps.
  int DirectoryWalk(uint32_t cluster);
  void RecordFolderEntry(const FatDirEntry& e, const std::string& name, uint32_t ownId,
                         bool folderDeleted);
  int RecordFileEntry(const FatDirEntry& e, const std::string& name, uint32_t ownId,
                      uint64_t entrySector);
  void NoteFoldersToWrite(uint32_t ownId);
  uint32_t EntryCluster(const FatDirEntry& e, bool folder, const std::string& name);
  uint32_t ContentCheck(uint32_t firstCluster, const std::string& name);
  void FillCommon(FoundFileRecord& r, const FatDirEntry& e, uint32_t cluster) const;
  int WriteFolderRecords();
  int WriteFolderRecord(uint32_t id, const FoundFileRecord& folder);
  void NoteChainless(uint32_t number, uint32_t cluster, uint64_t size, uint32_t written, const std::string& name);
  int PlaceChainlessFiles();
  bool ChooseLayout(const FatFragmentClaims& claims, uint32_t index, SectorReader& reader, FileLayout& chosen) const;
  FileLayout LayoutOfRuns(const std::vector<FatFragmentClaims::Run>& runs, uint64_t size) const;
  int Report(int percent, int remaining);

  // Recovery steps.
  int CopyChain(const FoundFileRecord& record, class OutputFile* file, uint8_t* buffer,
                uint64_t bufferSize, uint64_t& copied, const CopyProgress& progress);
  int CopyLaidOut(const FileLayout& layout, class OutputFile* file, uint8_t* buffer,
                  uint64_t bufferSize, uint64_t& copied, const CopyProgress& progress);

  std::unique_ptr<SectorReader> reader_;
  bool open_ = false;
  uint64_t partitionStart_ = 0;
  uint64_t partitionSectors_ = 0;
  char16_t driveLetter_ = 0;
  std::vector<uint8_t> boot_;  // the boot sector the geometry comes from, then what follows it
  FatGeometry geometry_;
  FatTable table_;
  FatUsageBitmap bitmap_;
  bool bitmapBuilt_ = false;

  std::deque<uint32_t> pendingFolders_;
  std::unordered_set<uint32_t> walked_;
  std::map<uint32_t, FoundFileRecord> folderMap_;
  // Deleted folders whose cluster a later deleted folder took over: they lead to its content too.
  std::multimap<uint32_t, FoundFileRecord> folderAliases_;
  static constexpr size_t kMaxFolderAliases = 4096;  // a hostile volume's many entries on one cluster
  std::vector<uint32_t> foldersToWrite_;
  std::unordered_set<uint32_t> foldersToWriteSet_;
  // Deleted files of this scan whose first cluster is free in the table (their chains are gone)
  // and still holds what their type begins with.
  struct Chainless {
    uint32_t number = 0;
    uint32_t cluster = 0;
    uint64_t size = 0;
    uint32_t written = 0;  // write date and time, comparable
    std::string extension;
  };
  std::vector<Chainless> chainless_;

  int openError_ = kInvalidParameter;
  std::map<uint32_t, uint32_t> levelCache_;
  uint64_t lastReportMs_ = 0;
  int stepCounter_ = 1;
  int countdown_ = 100;
  int weight9Counter_ = 20;
};

}  // namespace salvora
