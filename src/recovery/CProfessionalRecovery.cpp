#include "recovery/CProfessionalRecovery.h"

#include "scan/DeepSectorLog.h"

#include "carving/MeasureContext.h"
#include "fat/CFastFatRecovery.h"
#include "fat/FatBootSector.h"
#include "ntfs/CFastNtfsRecovery.h"
#include "ntfs/NtfsBootSector.h"
#include "platform/Clock.h"
#include "platform/ErrorCodes.h"
#include "recovery/EngineFactory.h"
#include "scan/RecordOrder.h"
#include "scan/ScanLogCatalogue.h"
#include "scan/ScanLogName.h"
#include "scan/SectorSweep.h"
#include "fatdir/FatDirectorySector.h"
#include "ntfs/FileRecord.h"

namespace salvora {
namespace {

// The sector size an image's own boot sector declares (a 4,096-byte-sector NTFS image works in
// 4,096-byte sectors); 512 when it declares none that can be used.
int ImageSectorSize(SectorReader& reader) {
  uint8_t boot[512];
  uint32_t got = 0;
  if (reader.ReadSectors(boot, 1, 0, 512, got) != 0 || got != 1) return 512;
  ByteView view(boot, sizeof boot);
  uint16_t declared = 0;
  if (IsNtfsBootSector(view))
    declared = NtfsBootSector(view).BytesPerSector();
  else if (IsFatBootSector(view))
    declared = FatBootSector(view).BytesPerSector();
  return declared >= 512 && declared <= 4096 && (declared & (declared - 1)) == 0 ? declared : 512;
}

// Thousands of small free ranges must not each cost a checkpoint.
constexpr uint64_t kRangeEndCheckpointGapMs = 1000;

}  // namespace

CProfessionalRecovery::CProfessionalRecovery() = default;

CProfessionalRecovery::~CProfessionalRecovery() {
  // The fast engine goes first, then the members in reverse order of declaration.
  fast_.reset();
}

int CProfessionalRecovery::OpenImageFile(const std::string& path, char16_t driveLetter) {
  letter_ = driveLetter;
  if (int rc = reader_.OpenFile(path); rc != 0) return rc;
  diskNumber_ = int(kImageDiskNumber);
  start_ = 0;
  // The fast engine comes first here: only a boot sector it recognised may set the sector size
  // in which every engine of this scan works.
  fast_ = EngineFactory::Instance().CreateForImage(path, driveLetter, false);
  sectorSize_ = fast_ ? ImageSectorSize(reader_) : 512;
  count_ = reader_.TotalSectors() * 512 / uint64_t(sectorSize_);
  imagePath_ = path;
  resume_ = LookupUnfinished(resumeEntry_);
  LoadCheckpoint();
  deepFat_.OpenImageFile(path, driveLetter, uint32_t(sectorSize_));
  return deepNtfs_.OpenImageFile(path, driveLetter, sectorSize_);
}

int CProfessionalRecovery::OpenDiskPartition(int diskNumber, uint64_t startSector,
                                             uint64_t sectorCount, char16_t driveLetter) {
  diskNumber_ = diskNumber;
  start_ = startSector;
  count_ = sectorCount;
  letter_ = driveLetter;
  imagePath_.clear();
  if (int rc = reader_.OpenDisk(diskNumber); rc != 0) return rc;
  sectorSize_ = reader_.DeviceSectorSize();
  resume_ = LookupUnfinished(resumeEntry_);
  LoadCheckpoint();
  deepFat_.OpenDiskPartition(diskNumber, startSector, sectorCount, driveLetter);
  int rc = deepNtfs_.OpenDiskPartition(diskNumber, startSector, sectorCount, driveLetter);
  fast_ = EngineFactory::Instance().CreateForDisk(diskNumber, startSector, sectorCount, driveLetter,
                                                  false);
  return rc;
}

int CProfessionalRecovery::SetScanCallbacks(ScanProgressCallback scan,
                                            RecoveryProgressCallback recovery, void* userData,
                                            int) {
  scanCallback_ = scan;
  recoveryCallback_ = recovery;
  userData_ = userData;
  if (fast_) fast_->SetScanCallbacks(scan, recovery, userData, kFastWeight);
  deepFat_.SetScanCallbacks(scan, recovery, userData, kDeepWeight);
  deepNtfs_.SetScanCallbacks(scan, recovery, userData, kDeepWeight);
  carving_.SetScanCallbacks(scan, recovery, userData, kDeepWeight);
  return 0;
}

// The saved scan of the opened source, unless it ran to its end: a finished scan is kept as
// results, never offered to be continued.
bool CProfessionalRecovery::LookupUnfinished(ScanSessionEntry& entry) {
  auto& catalogue = ScanLogCatalogue::Instance();
  entry = ScanSessionEntry{};
  const bool saved = (imagePath_.empty()
                          ? catalogue.LookupPartition(letter_, diskNumber_, start_, count_, entry)
                          : catalogue.LookupImage(imagePath_, entry)) == 1;
  if (saved && !ScanCheckpoint::IsFinished(entry.SessionFolder())) return true;
  entry = ScanSessionEntry{};
  return false;
}

void CProfessionalRecovery::DiscardResumeState() {
  if (!resume_) return;
  resume_ = false;
  ScanLogCatalogue::Instance().RemoveSession(resumeEntry_.SessionFolder());
  ScanLogCatalogue::Instance().Reload();
  resumeEntry_ = ScanSessionEntry{};
  LoadCheckpoint();
}

void CProfessionalRecovery::LoadCheckpoint() {
  haveCheckpoint_ = false;
  checkpoint_ = ScanCheckpoint{};
  if (!resume_) return;
  ScanCheckpoint saved;
  if (saved.Read(resumeEntry_.SessionFolder()) != 0) return;
  // Written before the entry, and always with the log lengths of its own moment: when the two
  // differ, the process was stopped between them and the checkpoint is the one that matches.
  checkpoint_ = saved;
  haveCheckpoint_ = true;
  resumeEntry_.SetResume(saved.Position());
}

FoundFileStore* CProfessionalRecovery::StoreOf(ScanCheckpoint::Log log) {
  FoundFileStore* store = nullptr;
  switch (log) {
    case ScanCheckpoint::kFastLog:
      if (auto* fat = dynamic_cast<CFastFatRecovery*>(fast_.get())) store = fat->Store();
      else if (auto* ntfs = dynamic_cast<CFastNtfsRecovery*>(fast_.get())) store = ntfs->Store();
      break;
    case ScanCheckpoint::kFileTypeLog: store = carving_.Store(); break;
    case ScanCheckpoint::kProFatLog: store = deepFat_.Store(); break;
    case ScanCheckpoint::kProNtfsLog: store = deepNtfs_.Store(); break;
    case ScanCheckpoint::kLogCount: break;
  }
  return store && store->IsOpen() ? store : nullptr;
}

void CProfessionalRecovery::CutLogsBack() {
  if (!haveCheckpoint_) return;
  auto& catalogue = ScanLogCatalogue::Instance();
  for (size_t i = 0; i < ScanCheckpoint::kLogCount; ++i) {
    const auto log = ScanCheckpoint::Log(i);
    const uint64_t records = checkpoint_.ResumeRecords(log);
    if (records == ScanCheckpoint::kNoLog) continue;
    std::string name;
    catalogue.FindLog(sessionFolder_, ScanCheckpoint::Prefix(log), name);
    if (name.empty()) continue;
    FoundFileStore store;
    // A log that cannot be cut is still reopened: at worst some finds are listed twice.
    if (store.OpenLogIn(sessionFolder_, name) == 0)
      store.CutBack(uint32_t(std::min<uint64_t>(records, UINT32_MAX)));
  }
}

int CProfessionalRecovery::WriteCheckpointFile() {
  // The sectors first: a checkpoint counts only entries already on the medium.
  if (deepFinished_) {
    pendingDeepSectors_.clear();
    deepSectorsSaved_ = 0;
  } else if (!pendingDeepSectors_.empty()) {
    if (int rc = DeepSectorLog::Write(sessionFolder_, deepSectorsSaved_, pendingDeepSectors_); rc != 0)
      return rc;
    deepSectorsSaved_ += pendingDeepSectors_.size();
    pendingDeepSectors_.clear();
  }
  // Slots whose engine has no open log keep what the last checkpoint said about them.
  ScanCheckpoint next = checkpoint_;
  for (size_t i = 0; i < ScanCheckpoint::kLogCount; ++i) {
    const auto log = ScanCheckpoint::Log(i);
    FoundFileStore* store = StoreOf(log);
    if (!store) continue;
    if (int rc = store->Sync(); rc != 0) return rc;
    next.SetRecords(log, store->TotalRecords());
    const bool inMemory = !deepFinished_ && (log == ScanCheckpoint::kProFatLog ||
                                             log == ScanCheckpoint::kProNtfsLog);
    next.SetResumeRecords(log, inMemory ? deepLogStart_[log] : store->TotalRecords());
  }
  next.SetDeepSectors(deepSectorsSaved_);
  next.SetPosition(position_);
  if (int rc = next.Write(sessionFolder_); rc != 0) return rc;
  checkpoint_ = next;
  haveCheckpoint_ = true;
  ++checkpoints_;
  // Entries beyond the count are never read; this only gives the space back.
  if (deepFinished_) DeepSectorLog::Clear(sessionFolder_);
  return 0;
}

// Finds the deep engines will make again from their sectors, when a resumed scan offers them.
uint64_t CProfessionalRecovery::DeepFindsInMemory() {
  if (deepFinished_) return 0;
  uint64_t held = 0;
  for (auto log : {ScanCheckpoint::kProFatLog, ScanCheckpoint::kProNtfsLog})
    if (FoundFileStore* store = StoreOf(log))
      held += store->TotalRecords() > deepLogStart_[log] ? store->TotalRecords() - deepLogStart_[log] : 0;
  return held;
}

int CProfessionalRecovery::SaveCheckpoint(bool final) {
  lastCheckpointMs_ = platform::TickMs();
  // A resumed scan that ended before its sweep keeps the count it was saved with.
  if (started_) position_.foundBefore = GetFoundCount() + foundBase_ - DeepFindsInMemory();
  const int written = WriteCheckpointFile();
  // Without its checkpoint a running sweep has nothing new to save; the end of a scan is still
  // saved, and a resume then starts from the last checkpoint that was written, or from here.
  if (written != 0 && !final) return written;
  auto& catalogue = ScanLogCatalogue::Instance();
  int rc = kInvalidParameter;
  if (entrySaved_ && !final) rc = catalogue.UpdateResume(sessionFolder_, position_);
  // The first save of a scan, its last one, and one whose entry another program dropped.
  if (rc == kInvalidParameter) {
    rc = catalogue.SaveProgress(letter_, imagePath_.empty() ? diskNumber_ : int(kImageDiskNumber),
                                start_, count_, position_, sessionFolder_, imagePath_);
    entrySaved_ = entrySaved_ || rc == 0;
  }
  return written != 0 ? written : rc;
}

void CProfessionalRecovery::CheckpointWhenDue(uint64_t gapMs) {
  if (platform::TickMs() - lastCheckpointMs_ < gapMs) return;
  // A checkpoint that cannot be written (a full data folder) does not stop the sweep; the scan
  // can still be saved when it ends.
  SaveCheckpoint(false);
}

int CProfessionalRecovery::RunFastScan(bool& mapUsable) {
  mapUsable = false;
  if (!fast_) return 0;
  fast_->SetScanCallbacks(scanCallback_, nullptr, userData_, kFastWeight);
  mapUsable = fast_->BuildUsageBitmap() == 0;
  if (resume_) {
    std::string name;
    ScanLogCatalogue::Instance().FindLog(sessionFolder_, kFastLogPrefix, name);
    return fast_->Scan(name.c_str());
  }
  return fast_->Scan(nullptr);
}

int CProfessionalRecovery::BindDeepEngines() {
  auto& catalogue = ScanLogCatalogue::Instance();
  if (resume_) {
    std::string carved, fat, ntfs;
    catalogue.FindLog(sessionFolder_, kFileTypeLogPrefix, carved);
    catalogue.FindLog(sessionFolder_, kProFatLogPrefix, fat);
    catalogue.FindLog(sessionFolder_, kProNtfsLogPrefix, ntfs);
    if (imagePath_.empty())
      carving_.AttachDisk(carved, letter_, diskNumber_, sectorSize_);
    else
      carving_.AttachImage(carved, letter_, imagePath_, sectorSize_);
    deepFat_.BeginProScan(fat);
    deepNtfs_.BeginScan(ntfs);
  } else {
    if (imagePath_.empty())
      carving_.OpenDiskPartition(diskNumber_, start_, count_, letter_);
    else
      carving_.OpenImageFile(imagePath_, letter_);
    deepFat_.BeginProScan("");
    deepNtfs_.BeginScan("");
  }
  deepFat_.ReadBootArea();
  MeasureContext::Instance().TransportStreamExtents.clear();
  // Where the deep engines' memory begins: a resumed log has already been cut back to it.
  for (auto log : {ScanCheckpoint::kProFatLog, ScanCheckpoint::kProNtfsLog})
    if (FoundFileStore* store = StoreOf(log)) deepLogStart_[log] = store->TotalRecords();
  started_ = true;
  return 0;
}

uint64_t CProfessionalRecovery::PlanTotal(bool mapUsable) {
  if (!mapUsable) return count_;
  uint64_t total = 0, position = 0, length = 1;
  for (;;) {
    length = 1;
    fast_->NextUnusedRange(position, length);
    if (length == 0) break;
    total += length;
    position += length;
  }
  return total;
}

CProfessionalRecovery::Range CProfessionalRecovery::FirstRange(bool mapUsable) {
  if (!mapUsable) return {0, count_};
  Range r;
  r.length = 1;
  fast_->NextUnusedRange(r.start, r.length);
  return r;
}

CProfessionalRecovery::Range CProfessionalRecovery::NextRange(const Range& current, bool mapUsable) {
  if (!mapUsable) return {current.start + current.length, 0};
  Range r{current.start + current.length, 1};
  fast_->NextUnusedRange(r.start, r.length);
  return r;
}

int CProfessionalRecovery::ProcessSector(const uint8_t* sector, size_t bytesLeft, uint64_t address,
                                         uint64_t& skip) {
  try {
    const int recordSize = sectorSize_ <= 512 ? 2 * sectorSize_ : sectorSize_;
    if (IsFileRecord(ByteView(sector, bytesLeft), recordSize)) {
      pendingDeepSectors_.emplace_back(address, DeepSectorKind::kFileRecord);
      if (bytesLeft >= size_t(recordSize)) return deepNtfs_.OnFileRecord(sector, bytesLeft, address);
      // A record split by the end of the chunk is read afresh.
      uint32_t sectors = uint32_t(8192 / sectorSize_), got = 0;
      recordBuffer_.assign(8192, 0);
      reader_.ReadSectors(recordBuffer_.data(), sectors, address, sectorSize_, got);
      if (got == 0) return kReadFault;
      return deepNtfs_.OnFileRecord(recordBuffer_.data(), size_t(got) * sectorSize_, address);
    }
    if (IsSubdirectoryStart(sector, size_t(sectorSize_))) {
      pendingDeepSectors_.emplace_back(address, DeepSectorKind::kSubdirectoryStart);
      return deepFat_.TakeSubdirectoryStart(sector, address);
    }
    if (IsFatDirectorySector(sector, size_t(sectorSize_))) {
      pendingDeepSectors_.emplace_back(address, DeepSectorKind::kDirectorySector);
      return deepFat_.TakeDirectorySector(sector, address);
    }
    uint64_t found = GetFoundCount() + foundBase_;
    return carving_.CarveAt(sector, sectorSize_, address, position_.totalSwept, total_,
                            remainingSeconds_, &reader_, sectorSize_, skip, found);
  } catch (...) {
    // A failure inside one engine must not end the scan: the sector is passed over.
    skip = 1;
    return 0;
  }
}

void CProfessionalRecovery::OfferAgain(const DeepSectorEntry& entry, std::vector<uint8_t>& buffer) {
  const auto kind = DeepSectorKind(entry.Kind());
  const uint32_t sectors =
      kind == DeepSectorKind::kFileRecord ? std::max(1u, uint32_t(8192 / sectorSize_)) : 1;
  buffer.assign(size_t(sectors) * size_t(sectorSize_), 0);
  uint32_t got = 0;
  reader_.ReadSectors(buffer.data(), sectors, entry.Sector(), sectorSize_, got);
  if (got == 0) return;
  try {
    switch (kind) {
      case DeepSectorKind::kFileRecord:
        deepNtfs_.OnFileRecord(buffer.data(), size_t(got) * size_t(sectorSize_), entry.Sector());
        break;
      case DeepSectorKind::kSubdirectoryStart:
        deepFat_.TakeSubdirectoryStart(buffer.data(), entry.Sector());
        break;
      case DeepSectorKind::kDirectorySector:
        deepFat_.TakeDirectorySector(buffer.data(), entry.Sector());
        break;
    }
  } catch (...) {
    // As in the sweep: one sector's failure is passed over.
  }
}

int CProfessionalRecovery::ReplayDeepSectors() {
  std::vector<DeepSectorEntry> entries;
  // A shorter log than the checkpoint says (a damaged folder) gives back what it holds.
  DeepSectorLog::Read(sessionFolder_, checkpoint_.DeepSectors(), entries);
  deepSectorsSaved_ = entries.size();
  std::vector<uint8_t> buffer;
  for (size_t i = 0; i < entries.size(); ++i) {
    // Long replays show the saved position and can be cancelled.
    if (i % 1024 == 1023) {
      if (int rc = ReportProgress(); rc != 0) return rc;
    }
    OfferAgain(entries[i], buffer);
  }
  return 0;
}

int CProfessionalRecovery::ReportProgress() {
  uint64_t now = platform::TickMs();
  const uint64_t swept = position_.totalSwept;
  if (now - lastEstimateMs_ > 4999) {
    uint64_t elapsed = std::max<uint64_t>(1, (now - sweepStartMs_) / 1000);
    uint64_t rate = std::max<uint64_t>(1, swept * uint64_t(sectorSize_) / elapsed);
    uint64_t left = total_ > swept ? total_ - swept : 0;
    remainingSeconds_ = int(std::min<uint64_t>(left * uint64_t(sectorSize_) / rate, INT32_MAX));
    lastEstimateMs_ = now;
  }
  if (!scanCallback_) return 0;
  lastReportedFound_ = GetFoundCount() + foundBase_;
  int percent = total_ ? int(swept * 100 / total_) + 10 : 110;
  return scanCallback_(userData_, percent, kDeepWeight, remainingSeconds_, swept, total_,
                       lastReportedFound_, 0);
}

int CProfessionalRecovery::Sweep(bool mapUsable) {
  total_ = PlanTotal(mapUsable);
  Range range = FirstRange(mapUsable);
  uint64_t offset = 0;
  position_ = ResumePosition{};
  foundBase_ = 0;
  if (resume_) {
    ResumePosition saved = resumeEntry_.Resume();
    range = {saved.rangeStart, saved.rangeLength};
    offset = saved.rangeSwept;
    position_.totalSwept = saved.totalSwept;
    foundBase_ = saved.foundBefore;
  }
  lastReportedFound_ = foundBase_;
  remainingSeconds_ = -1;
  sweepStartMs_ = lastEstimateMs_ = platform::TickMs();
  // After a kill the deep engines start from where their memory began, with the sectors they had
  // taken before the checkpoint.
  if (resume_ && haveCheckpoint_ && checkpoint_.DeepSectors() > 0) {
    if (int rc = ReplayDeepSectors(); rc != 0) {
      replayStopped_ = true;
      return rc;
    }
  }

  SectorSweep sweep(reader_, sectorSize_);
  sweep.SetSwept(position_.totalSwept);
  auto handler = [this](const uint8_t* sector, size_t bytesLeft, uint64_t address, uint64_t& skip) {
    return ProcessSector(sector, bytesLeft, address, skip);
  };
  auto observer = [this, &sweep, &range](uint64_t swept) {
    position_.totalSwept = swept;
    position_.rangeSwept = std::min(sweep.Offset(), range.length);
    CheckpointWhenDue(checkpointIntervalMs_);
    return ReportProgress();
  };
  position_.rangeStart = range.start;
  position_.rangeLength = range.length;
  position_.rangeSwept = offset;
  // What the file-system pass found is safe from here on.
  SaveCheckpoint(false);
  int result = 0;
  for (;;) {
    position_.rangeStart = range.start;
    position_.rangeLength = range.length;
    position_.rangeSwept = offset;
    if (range.length == 0) break;
    result = sweep.Run(start_ + range.start, range.length, offset, handler, observer);
    position_.rangeSwept = std::min(sweep.Offset(), range.length);
    position_.totalSwept = sweep.Swept();
    if (result != 0) break;
    offset = 0;
    Range next = NextRange(range, mapUsable);
    // The last range needs none: the scan is saved as it ends.
    if (next.length != 0) CheckpointWhenDue(kRangeEndCheckpointGapMs);
    range = next;
  }
  return result;
}

int CProfessionalRecovery::Scan(const char*) {
  auto& catalogue = ScanLogCatalogue::Instance();
  started_ = false;
  checkpoints_ = 0;
  results_.Clear();
  if (resume_) {
    // Whoever started this scan may have opened a new session since the source was opened; the
    // engines must reopen their logs in the saved session's folder, so look it up again.
    ScanSessionEntry again;
    resume_ = LookupUnfinished(again);
    if (resume_) resumeEntry_ = again;
    LoadCheckpoint();
  }
  if (!resume_) catalogue.NewSession();
  sessionFolder_ = resume_ ? resumeEntry_.SessionFolder() : catalogue.SessionFolder();
  entrySaved_ = resume_;
  // A resumed scan that ends before its sweep keeps its saved position.
  position_ = resume_ ? resumeEntry_.Resume() : ResumePosition{};
  deepFinished_ = false;
  replayStopped_ = false;
  pendingDeepSectors_.clear();
  deepSectorsSaved_ = haveCheckpoint_ ? checkpoint_.DeepSectors() : 0;
  for (size_t i = 0; i < ScanCheckpoint::kLogCount; ++i)
    deepLogStart_[i] = haveCheckpoint_ ? checkpoint_.ResumeRecords(ScanCheckpoint::Log(i)) : 0;
  // Records written after the checkpoint would be found again by the sweep.
  if (resume_) CutLogsBack();

  bool mapUsable = false;
  int result = RunFastScan(mapUsable);
  if (result == 0) {
    BindDeepEngines();
    result = Sweep(mapUsable);
    // Stopped while the deep engines were being rebuilt: what they hold is not all they had, so
    // nothing is written or saved, and the next resume rebuilds them again.
    if (replayStopped_) return result;
    int finish = deepFat_.FinishProScan();
    int pass = deepNtfs_.FolderPass();
    (void)finish;
    (void)pass;
    deepFinished_ = true;
    if (result == 0 && scanCallback_) scanCallback_(userData_, 100, 100, 0, 0, 0, 0, 0);
  }

  if (started_ || resume_) {
    SaveCheckpoint(true);
    if (result == 0 && deepFinished_) ScanCheckpoint::MarkFinished(sessionFolder_);
  } else {
    catalogue.UndoNewSession();
  }
  return result;
}

IFileRecoveryParse* CProfessionalRecovery::EngineFor(const FoundFileRecord& record) {
  switch (static_cast<EngineKind>(record.EngineKind())) {
    case EngineKind::FastNtfs:
    case EngineKind::FastFat: return fast_.get();
    case EngineKind::DeepNtfs: return &deepNtfs_;
    case EngineKind::DeepFat: return &deepFat_;
    case EngineKind::FileType: return &carving_;
  }
  return nullptr;
}

int CProfessionalRecovery::ListChildren(const FoundFileRecord* folder, int depth,
                                        std::vector<FoundFileRecord>& children) {
  return ListMerged(folder, depth, children);
}

int CProfessionalRecovery::CountFiles(const FoundFileRecord* folder, int depth, int& count) {
  return CountMerged(folder, depth, count);
}

uint64_t CProfessionalRecovery::GetFoundCount() {
  return (fast_ ? fast_->GetFoundCount() : 0) + deepFat_.GetFoundCount() +
         deepNtfs_.GetFoundCount() + carving_.GetFoundCount();
}

int CProfessionalRecovery::GetFullPath(const FoundFileRecord* record, std::string& path,
                                       int maxChars) {
  if (!record) return kInvalidParameter;
  return FullPathMerged(*record, path, maxChars);
}

int CProfessionalRecovery::RecoverFile(const FoundFileRecord* record, const std::string& destination,
                                       int baseSeparatorCount) {
  if (!record) return kInvalidParameter;
  IFileRecoveryParse* engine = EngineFor(*record);
  return engine ? engine->RecoverFile(record, destination, baseSeparatorCount) : 0;
}

int CProfessionalRecovery::ReadForPreview(const FoundFileRecord* record, std::string& tempPath,
                                          uint8_t* buffer, int& size, PreviewProgressCallback callback,
                                          void* userData) {
  if (!record) return kInvalidParameter;
  IFileRecoveryParse* engine = EngineFor(*record);
  return engine ? engine->ReadForPreview(record, tempPath, buffer, size, callback, userData) : 0;
}

int CProfessionalRecovery::SetSearchCallback(SearchProgressCallback callback, void* userData) {
  searchCallback_ = callback;
  searchUserData_ = userData;
  if (fast_) fast_->SetSearchCallback(callback, userData);
  deepFat_.SetSearchCallback(callback, userData);
  deepNtfs_.SetSearchCallback(callback, userData);
  carving_.SetSearchCallback(callback, userData);
  return 0;
}

}  // namespace salvora
