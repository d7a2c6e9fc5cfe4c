#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "ntfs/FileRecordSummary.h"
#include "ntfs/NtfsGeometry.h"
#include "ntfs/NtfsFileData.h"
#include "ntfs/NtfsMft.h"
#include "platform/RawSource.h"
#include "scan/FoundFileStore.h"
#include "scan/IScanLog.h"
#include "scan/StoredFindsEngine.h"
#include "storage/SectorReader.h"

namespace salvora {

// The fast NTFS engine: reads the master file table from end to end and reports every FILE record
// that is neither in use nor a directory, with the chain of folders above it; recovers, previews
// and maps the free clusters of the volume. It never writes to the source.
class CFastNtfsRecovery : public StoredFindsEngine, public IScanLog, public IVolumeFacts, public IOpensShared,
                          public INtfsRecordLookups {
 public:
  // Its records' kind (FoundFileRecord::EngineKind), kept in saved scans.
  static constexpr uint32_t kRecordKind = 0;
  static constexpr uint32_t kRootRecord = 5;
  static constexpr uint32_t kLastSystemRecord = 11;
  static constexpr uint32_t kBitmapRecord = 6;
  static constexpr uint32_t kLostFolderClusterSize = 0xFFFFFFFF;
  static constexpr size_t kDataChunk = 65536;
  static constexpr uint64_t kEstimateIntervalMs = 5000;

  enum class Pass { File, Folder };

  CFastNtfsRecovery();
  ~CFastNtfsRecovery() override;

  int OpenImageFile(const std::string& path, char16_t driveLetter) override;
  int OpenDiskPartition(int diskNumber, uint64_t startSector, uint64_t sectorCount,
                        char16_t driveLetter) override;
  int Scan(const char* savedScanName) override;
  int RecoverFile(const FoundFileRecord* record, const std::string& destination,
                  int baseSeparatorCount) override;
  int NextUnusedRange(uint64_t& startSector, uint64_t& lengthSectors) override;
  int BuildUsageBitmap() override;
  int ReadForPreview(const FoundFileRecord* record, std::string& tempPath, uint8_t* buffer, int& size,
                     PreviewProgressCallback callback, void* userData) override;

  // Handles one MFT record (the view holds the record) in the file or the folder pass; n is its
  // record number. -1 for a sector without a FILE record or a malformed record, else 0.
  int ProcessFileRecord(uint8_t* record, Pass pass, uint32_t n);
  // 1 when the file's first data is plausible for its extension or cannot be checked, else 0.
  int CheckFileContent(const FoundFileRecord& entry);
  // Writes one file, or creates one folder and queues it.
  int RecoverItem(const FoundFileRecord& record, const std::string& path);
  // The data of a found record through the MFT (attribute lists followed).
  int ReadResidentData(uint64_t sector, std::string_view stream, uint8_t* out, size_t outSize,
                       int& length) override;
  int GetDataRuns(uint64_t sector, std::string_view stream, StreamLayout& layout) override;

  const NtfsGeometry& Geometry() const { return mft_.Geometry(); }
  bool IsOpen() const { return opened_; }
  VolumeFacts Volume() const override;
  int OpenShared(const SharedSource& source) override;
  NtfsMft& Mft() { return mft_; }
  const std::vector<uint32_t>& FolderList() const { return folderList_; }
  uint64_t UsageBitmapLength() const { return bitmapLength_; }
  // Records of the last scan's table walk that could not be read (bad sectors).
  uint64_t UnreadableRecords() const { return unreadableRecords_; }
  FoundFileStore* Store() noexcept override { return store_.get(); }

 private:
  int Open(const std::string& path, int diskNumber, uint64_t startSector, uint64_t sectorCount,
           bool image, char16_t driveLetter);
  // Reads the boot sector (or its backup) through reader_, already open, and maps the MFT.
  int OpenVolume(uint64_t startSector, uint64_t sectorCount, bool image, char16_t driveLetter);
  int WalkMft();
  // Reads records from..to-1 of a table step one by one, after the step's read failed.
  void SalvageRecords(uint64_t firstSector, uint64_t firstNumber, uint64_t from, uint64_t to);
  void RunFolderPass();
  int ReportScanProgress(int percent);
  void UpdateEstimate(uint64_t processedSectors, uint64_t totalSectors);
  void WalkParentChain(uint32_t parent, uint32_t& depth);
  void NoteFolder(uint32_t n);
  FoundFileRecord BuildFoundRecord(const FileRecordSummary& summary, Pass pass) const;
  void AddLostFolder(uint32_t k, bool unreadable);
  int StoreRecord(const FoundFileRecord& record, uint32_t parent, uint32_t depth, bool folder);

  SectorReader reader_;
  NtfsMft mft_;
  NtfsFileData data_{reader_, *this, *this};
  char16_t driveLetter_ = 0;
  bool opened_ = false;

  std::vector<uint32_t> folderList_;
  std::unordered_set<uint32_t> folderSet_;
  std::vector<uint8_t> chunk_;
  std::vector<uint8_t> bitmap_;
  uint64_t bitmapLength_ = 0;  // bytes of bitmap_ that hold the volume's bitmap
  uint64_t unreadableRecords_ = 0;


  uint64_t scanStartMs_ = 0;
  uint64_t lastEstimateMs_ = 0;
  int remainingSeconds_ = -1;
};

}  // namespace salvora
