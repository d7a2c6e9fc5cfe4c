#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "carving/CFileTypeRecovery.h"
#include "recovery/EngineFactory.h"
#include "recovery/EngineTable.h"
#include "scan/DeepSectorLog.h"
#include "scan/FileSystemFiles.h"
#include "scan/IFileRecoveryParse.h"
#include "scan/ISweepEngine.h"
#include "scan/ResultSet.h"
#include "scan/ScanCheckpoint.h"
#include "scan/ScanSessionEntry.h"
#include "storage/SectorReader.h"

namespace salvora {

// The advanced scan: the fast engine of the volume's file system first, then a sweep of the free
// space (all of it without a usable allocation map) in 64 KiB reads, handing every sector to the
// sweep engine of the first entry of the engine table that claims it (EngineTable.h), or else to
// carving. Its records come from the engines' stores; per-record operations go back to the
// engine named by the record's kind. A cancelled or interrupted sweep is saved in the catalogue
// and can be resumed.
//
// While sweeping it makes checkpoints (when the sweep begins, every CheckpointIntervalMs() and at
// the end of a free range at most once a second; while carving measures a long candidate, at the
// candidate's sector): the sectors the deep engines took and the four logs are flushed to the
// medium, then the position and the logs' lengths go into the session's checkpoint file and the
// catalogue, so a killed process can be resumed. A resumed scan first cuts the logs back (see
// ScanCheckpoint) and offers the deep engines their sectors again.
//
// The sweep reaches its engines only through the faces they hand out (ISweepEngine, IScanLog,
// IVolumeFacts) and the table's entries; it names no file system. Checkpoints and resume live in
// CProfessionalRecoveryResume.cpp; programs ask about a saved scan through SavedScan.h.
class CProfessionalRecovery : public IFileRecoveryParse,
                              public ISavedScanState,
                              public IRecordLogs,
                              public IScanVerdicts {
 public:
  static constexpr uint32_t kImageDiskNumber = 128;
  static constexpr int kDeepWeight = 90;
  static constexpr int kFastWeight = 9;

  CProfessionalRecovery();
  ~CProfessionalRecovery() override;
  CProfessionalRecovery(const CProfessionalRecovery&) = delete;
  CProfessionalRecovery& operator=(const CProfessionalRecovery&) = delete;

  int OpenImageFile(const std::string& path, char16_t driveLetter) override;
  int OpenDiskPartition(int diskNumber, uint64_t startSector, uint64_t sectorCount,
                        char16_t driveLetter) override;
  int SetScanCallbacks(ScanProgressCallback scan, RecoveryProgressCallback recovery, void* userData,
                       int progressWeight) override;
  int Scan(const char* savedScanName) override;
  int ListChildren(const FoundFileRecord* folder, int depth,
                   std::vector<FoundFileRecord>& children) override;
  int CountFiles(const FoundFileRecord* folder, int depth, int& count) override;
  uint64_t GetFoundCount() override;
  int GetFullPath(const FoundFileRecord* record, std::string& path, int maxChars) override;
  int RecoverFile(const FoundFileRecord* record, const std::string& destination,
                  int baseSeparatorCount) override;
  int NextUnusedRange(uint64_t&, uint64_t&) override { return 0; }
  int SetSearchCallback(SearchProgressCallback callback, void* userData) override;
  int SearchByExtension(const std::string& text, std::vector<FoundFileRecord>& found) override;
  int BuildUsageBitmap() override { return 0; }
  int ReadForPreview(const FoundFileRecord* record, std::string& tempPath, uint8_t* buffer,
                     int& size, PreviewProgressCallback callback, void* userData) override;

  // An interrupted scan of this source was found when it was opened.
  bool HasResumeState() const override { return resume_; }
  // Forgets that scan and deletes its session.
  void DiscardResumeState() override;

  // What the scan is working with (for the user interface and tests).
  int SectorSize() const { return sectorSize_; }
  // What the probe of the opened source found (its error when the source could not be probed).
  const ProbeResult& SourceProbe() const { return probe_; }
  IFileRecoveryParse* FastEngine() { return fast_.get(); }
  ResumePosition LastPosition() const override { return position_; }
  bool ScanStarted() const override { return started_; }
  const std::string& SessionFolderUsed() const { return sessionFolder_; }
  // Where a resumed scan continues (the saved entry, or the session's checkpoint when it has a
  // sound one); zeros without a resume state.
  ResumePosition ResumePoint() const override { return resumeEntry_.Resume(); }
  // Checkpoints made by the last Scan, the final save included.
  uint64_t CheckpointsMade() const { return checkpoints_; }

  // The listings, counts, paths and the search show every found file once (see ResultSet);
  // carved files are listed in a folder of their own at the top.
  static constexpr const char* kCarvedFolderName = "Carved files";

  // The verdict of this run's own check of a carved file that holds the very bytes of copyPath,
  // the copy of a file-system record: carving decoded a file of the record's size, in one piece,
  // at its first data sector, and the copy matches the medium there byte for byte (a deleted photo
  // is then not decoded twice). nullopt otherwise (CProfessionalRecoveryTwins.cpp).
  std::optional<ContentVerdict> CarvedCheckOfCopy(const FoundFileRecord& record,
                                                  const std::string& copyPath) override;
  // Whether the next scans are listed with verdicts (the default): without, carving does not
  // decode the photos the file-system pass places (IScanVerdicts).
  void SetVerdictsWanted(bool wanted) override { verdictsWanted_ = wanted; }
  // The engines that found the record's file or folder.
  EngineSet FoundBy(const FoundFileRecord& record) override;
  // The result set of the last scan, built from the engines' logs on first use.
  const ResultSet& Results();
  // The log of the engine that produced a record (its content verdict is kept there); nullptr for
  // none.
  FoundFileStore* StoreOf(const FoundFileRecord& record) override;

 private:
  // A sweep engine of the table, made for this scan.
  struct SweepSlot {
    const EngineEntry* entry = nullptr;
    std::unique_ptr<IFileRecoveryParse> engine;
    ISweepEngine* sweep = nullptr;
    // Its log's length where the engine's memory of finds began (it writes them when the sweep
    // ends): what a checkpoint cuts the log back to.
    uint64_t memoryStart = 0;
  };
  // A log the checkpoints keep: the fast engine's, carving's and each sweep engine's.
  struct KeptLog {
    const char* prefix = nullptr;
    FoundFileStore* store = nullptr;  // nullptr when not open
    uint64_t* memoryStart = nullptr;  // a sweep engine's; nullptr for a log written as found
  };
  // What a swept sector is, and the slot that claimed it (nullptr: carving's).
  struct Claim {
    SweptKind kind = kUnclaimed;
    SweepSlot* slot = nullptr;
  };

  struct Range {
    uint64_t start = 0;   // relative to the partition
    uint64_t length = 0;
  };

  // The engine that produced a record, by its kind; nullptr for none.
  IFileRecoveryParse* EngineFor(const FoundFileRecord& record);
  int RunFastScan(bool& mapUsable);
  void AdoptFast(LoggedEngine made);
  int AttachSweepEngines(bool image);
  int BindDeepEngines();
  void TellCarvingClusters();
  uint64_t PlanTotal(bool mapUsable);
  Range FirstRange(bool mapUsable);
  Range NextRange(const Range& current, bool mapUsable);
  // The ranges the sweep will read from `first` on (`offset` sectors into it), in absolute sectors,
  // for the decodes made ahead of it.
  // A free map in very many pieces is followed only so far; carving decodes the rest itself.
  static constexpr size_t kMostRangesAhead = 65536;
  std::vector<JpegDecodeAhead::Range> RangesAhead(Range first, uint64_t offset, bool mapUsable);
  // The free ranges as the stream carving searches; none when the map was not followed to its end.
  FreeSpaceStream FreeSpaceOf(const std::vector<JpegDecodeAhead::Range>& ranges) const;
  int Sweep(bool mapUsable);
  int ProcessSector(const uint8_t* sector, size_t bytesLeft, uint64_t address, uint64_t& skip);
  Claim ClaimOf(const uint8_t* sector, size_t bytesLeft);
  // The slot whose entry gives this code; nullptr for none.
  SweepSlot* SlotTaking(SweptKind kind);
  SweepSlot* SlotOfKind(uint32_t recordKind);
  // The bytes a claimed sector needs in memory.
  size_t ClaimBytes(const SweepSlot& slot) const;
  // What is read afresh for a claimed structure that the end of a chunk (or a replay) cuts off.
  static constexpr size_t kClaimReadBytes = 8192;
  // Carving and the sweep engines, carving first (the order their logs are begun and finished).
  std::vector<ISweepEngine*> SweepEngines();
  SweepPosition Position();
  int ReportProgress();
  // The resume entry's position replaced by the session checkpoint's, when there is a sound one.
  bool LookupUnfinished(ScanSessionEntry& entry);
  void LoadCheckpoint();
  // Cuts each log of the resumed session back to its length at the checkpoint.
  void CutLogsBack();
  // The logs the checkpoints keep, and the fast engine's and carving's stores; nullptr when
  // not open.
  std::vector<KeptLog> KeptLogs();
  FoundFileStore* FastStore();
  FoundFileStore* CarvedStore();
  // Makes the logs safe and saves the current position with them. The final save also
  // re-describes the source in the catalogue; the checkpoints of a running sweep only move it.
  int SaveCheckpoint(bool final);
  // The logs flushed to the medium and the checkpoint file written; counted in checkpoints_.
  int WriteCheckpointFile();
  void CheckpointWhenDue(uint64_t gapMs);
  // Carving's reports while it measures a candidate go through here to the program's callback,
  // so a long measurement does not hold the due checkpoints back.
  static int OnCarvingProgress(void* self, int percent, int weight, int remainingSeconds, uint64_t current,
                               uint64_t total, uint64_t found, int reserved);
  static int OnCarvingRecovery(void* self, int percent, int hundred, int errorCode, const char* outputPath);
  void CheckpointBeforeCandidate();
  uint64_t DeepFindsInMemory();
  // Offers the deep engines the sectors they took before the checkpoint; 0 or the callback's stop.
  int ReplayDeepSectors();
  void OfferAgain(const DeepSectorEntry& entry, std::vector<uint8_t>& buffer);
  // Reads what a FILE record needs from address into recordBuffer_; the sectors read (0: none).
  uint32_t ReadRecordSectors(uint64_t address);
  // The fast engine's deleted files a carved JPEG may be, each in one run from its first
  // cluster (none when the engine numbers no clusters, or keeps the file in pieces).
  FileSystemFiles FastPhotosInOneRun();
  // Absolute first data sector of a file-system record, or false when it has none.
  bool FirstDataSector(const FoundFileRecord& record, uint64_t& sector);
  // The merged views (CProfessionalRecoveryResults.cpp).
  int ListMerged(const FoundFileRecord* folder, int depth, std::vector<FoundFileRecord>& children);
  int CountMerged(const FoundFileRecord* folder, int depth, int& count);
  int FullPathMerged(const FoundFileRecord& record, std::string& path, int maxChars);
  void AppendShown(std::vector<FoundFileRecord>& from, std::vector<FoundFileRecord>& to);
  FoundFileRecord CarvedFolder() const;
  // Carved files this run checked, in one piece: by first sector, their record number and size.
  struct CarvedCheck {
    uint32_t number = 0;
    uint64_t size = 0;
  };
  const std::unordered_map<uint64_t, CarvedCheck>& CarvedChecks();
  bool SameBytesAt(const std::string& copyPath, uint64_t sector, uint64_t size);

  int diskNumber_ = -1;
  uint64_t start_ = 0;
  uint64_t count_ = 0;
  char16_t letter_ = 0;
  std::string imagePath_;
  int sectorSize_ = 512;
  SectorReader reader_;
  ProbeResult probe_;
  std::vector<SweepSlot> sweeps_;
  CFileTypeRecovery carving_;
  std::unordered_map<uint64_t, CarvedCheck> carvedChecks_;
  bool carvedChecksRead_ = false;
  std::unique_ptr<IFileRecoveryParse> fast_;
  const EngineEntry* fastEntry_ = nullptr;
  IScanLog* fastLog_ = nullptr;  // the fast engine's log, when it keeps one
  ResultSet results_;
  bool verdictsWanted_ = true;
  FileSystemFiles placedPhotos_;  // while sweeping without verdicts wanted

  ScanProgressCallback scanCallback_ = nullptr;
  RecoveryProgressCallback recoveryCallback_ = nullptr;
  void* userData_ = nullptr;
  SearchProgressCallback searchCallback_ = nullptr;
  void* searchUserData_ = nullptr;

  bool resume_ = false;
  ScanSessionEntry resumeEntry_;
  bool started_ = false;
  std::string sessionFolder_;
  bool haveCheckpoint_ = false;
  ScanCheckpoint checkpoint_;
  bool entrySaved_ = false;
  uint64_t checkpointIntervalMs_ = CheckpointIntervalMs();
  uint64_t lastCheckpointMs_ = 0;
  uint64_t checkpoints_ = 0;
  // The deep engines' sectors since their memory began: saved ones, and those since the last
  // checkpoint.
  std::vector<DeepSectorEntry> pendingDeepSectors_;
  uint64_t deepSectorsSaved_ = 0;
  bool deepFinished_ = false;
  bool replayStopped_ = false;

  // Sweep state.
  ResumePosition position_;
  uint64_t total_ = 0;
  uint64_t foundBase_ = 0;
  uint64_t lastReportedFound_ = 0;
  int remainingSeconds_ = -1;
  uint64_t sweepStartMs_ = 0;
  uint64_t lastEstimateMs_ = 0;
  // The sector carving is measuring a candidate at, and the files it had carved before it.
  bool measuring_ = false;
  uint64_t candidate_ = 0;
  uint64_t carvedBeforeCandidate_ = 0;
  std::vector<uint8_t> recordBuffer_;
};

}  // namespace salvora
