#include "recovery/CProfessionalRecovery.h"

#include "carving/JpegDecodeAhead.h"
#include "carving/MeasureContext.h"
#include "exfat/CFastExfatRecovery.h"
#include "fat/CFastFatRecovery.h"
#include "ntfs/CFastNtfsRecovery.h"
#include "fat/FatBootSector.h"
#include "exfat/ExfatSweptSector.h"
#include "fat/FatGeometry.h"
#include "fatdir/FatDirectorySector.h"
#include "ntfs/FileRecord.h"
#include "ntfs/NtfsBootSector.h"
#include "platform/Clock.h"
#include "platform/ErrorCodes.h"
#include "scan/ContainFailure.h"
#include "scan/DeepSectorLog.h"
#include "scan/RecordOrder.h"
#include "scan/ScanLogCatalogue.h"
#include "scan/ScanLogName.h"
#include "scan/SectorSweep.h"

namespace salvora {
namespace {

// The sector size an image's boot sector declares, as the fast engine read it (the backup copy
// when the primary is damaged): a 4,096-byte-sector NTFS image works in 4,096-byte sectors. 512
// when there is no such engine or it declares none that can be used.
int ImageSectorSize(IFileRecoveryParse* fast) {
  uint32_t declared = 0;
  if (auto* ntfs = dynamic_cast<CFastNtfsRecovery*>(fast))
    declared = uint32_t(ntfs->Geometry().bytesPerSector);
  else if (auto* fat = dynamic_cast<CFastFatRecovery*>(fast))
    declared = fat->Geometry().sectorSize;
  else if (auto* exfat = dynamic_cast<CFastExfatRecovery*>(fast))
    declared = exfat->SectorSize();
  return declared >= 512 && declared <= 4096 && (declared & (declared - 1)) == 0 ? int(declared) : 512;
}

// A fast engine that could not open its volume (a boot sector no layout can be read from) would
// end the scan before the sweep: without it the whole source is swept as an unknown one.
LoggedEngine OpenedOrNone(LoggedEngine made) {
  auto* fat = dynamic_cast<CFastFatRecovery*>(made.engine.get());
  auto* ntfs = dynamic_cast<CFastNtfsRecovery*>(made.engine.get());
  auto* exfat = dynamic_cast<CFastExfatRecovery*>(made.engine.get());
  if ((fat && !fat->IsOpen()) || (ntfs && !ntfs->IsOpen()) || (exfat && !exfat->IsOpen())) return {};
  return made;
}

// Thousands of small free ranges must not each cost a checkpoint.
constexpr uint64_t kRangeEndCheckpointGapMs = 1000;
// How often the time left is estimated again.
constexpr uint64_t kEstimateIntervalMs = 5000;

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
  LoggedEngine fast = OpenedOrNone(EngineFactory::Instance().CreateFastForImage(path, driveLetter));
  fast_ = std::move(fast.engine);
  fastLog_ = fast.log;
  sectorSize_ = ImageSectorSize(fast_.get());
  count_ = reader_.TotalSectors() * 512 / uint64_t(sectorSize_);
  imagePath_ = path;
  resume_ = LookupUnfinished(resumeEntry_);
  LoadCheckpoint();
  deepFat_.ShareSource(reader_, -1, 0, uint32_t(sectorSize_), driveLetter);
  deepExfat_.ShareSource(reader_, -1, 0, uint32_t(sectorSize_), driveLetter);
  return deepNtfs_.ShareSource(reader_, true, 0, 0, sectorSize_, driveLetter);
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
  deepFat_.ShareSource(reader_, diskNumber, startSector, 0, driveLetter);
  deepExfat_.ShareSource(reader_, diskNumber, startSector, 0, driveLetter);
  int rc = deepNtfs_.ShareSource(reader_, false, startSector, sectorCount, 0, driveLetter);
  LoggedEngine fast = OpenedOrNone(
      EngineFactory::Instance().CreateFastForDisk(diskNumber, startSector, sectorCount, driveLetter));
  fast_ = std::move(fast.engine);
  fastLog_ = fast.log;
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
  deepExfat_.SetScanCallbacks(scan, recovery, userData, kDeepWeight);
  // Carving's callbacks take the coordinator, which hands them on (see OnCarvingProgress).
  carving_.SetScanCallbacks(OnCarvingProgress, recovery ? OnCarvingRecovery : nullptr, this, kDeepWeight);
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

// The volume's clusters, for the carving engine's search of a file's second piece: FAT's data area
// or NTFS's clusters counted from the volume start; nothing for an unknown volume.
void CProfessionalRecovery::TellCarvingClusters() {
  if (sectorSize_ <= 0) return;
  std::vector<uint8_t> boot(size_t(sectorSize_), 0);
  uint32_t got = 0;
  if (reader_.ReadSectors(boot.data(), 1, start_, sectorSize_, got) != kOk || got != 1) return;
  const uint64_t sector = uint64_t(sectorSize_);
  const uint64_t volumeByte = start_ * sector;
  if (const auto fat = FatGeometry::FromBootSector(ByteView(boot.data(), boot.size()))) {
    const uint64_t dataByte = volumeByte + uint64_t(fat->dataStart) * fat->sectorSize;
    if (dataByte % sector == 0) carving_.SetAllocationUnit(dataByte / sector, fat->ClusterBytes());
    return;
  }
  const NtfsBootSector ntfs(ByteView(boot.data(), boot.size()));
  if (ntfs.IsNtfs() && ntfs.SectorsPerCluster() <= 128)  // larger counts are coded as powers of two
    carving_.SetAllocationUnit(start_, uint32_t(ntfs.BytesPerSector()) * ntfs.SectorsPerCluster());
}

int CProfessionalRecovery::BindDeepEngines() {
  carving_.ShareSource(reader_, start_, count_, letter_, sectorSize_);
  TellCarvingClusters();
  // A fresh scan opens new logs; a resumed one reopens its session's.
  const char* prefixes[] = {kFileTypeLogPrefix, kProFatLogPrefix, kProNtfsLogPrefix, kProExfatLogPrefix};
  const auto engines = SweepEngines();
  for (size_t i = 0; i < engines.size(); ++i) {
    std::string name;
    if (resume_) ScanLogCatalogue::Instance().FindLog(sessionFolder_, prefixes[i], name);
    engines[i]->BeginSweep(name);
  }
  MeasureContext::Instance().TransportStreamExtents.clear();
  // Where the deep engines' memory begins: a resumed log has already been cut back to it.
  for (auto log : kDeepLogs)
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

std::vector<JpegDecodeAhead::Range> CProfessionalRecovery::RangesAhead(Range first, uint64_t offset,
                                                                      bool mapUsable) {
  // A free map in very many pieces is followed only so far; carving decodes the rest itself.
  constexpr size_t kMostRanges = 65536;
  std::vector<JpegDecodeAhead::Range> ranges;
  for (Range r = first; r.length != 0 && ranges.size() < kMostRanges; r = NextRange(r, mapUsable)) {
    const uint64_t skip = r.start == first.start ? std::min(offset, r.length) : 0;
    if (r.length > skip) ranges.push_back({start_ + r.start + skip, r.length - skip});
  }
  return ranges;
}

SweptKind CProfessionalRecovery::KindOf(const uint8_t* sector, size_t bytesLeft) const {
  if (IsFileRecord(ByteView(sector, bytesLeft), RecordBytes())) return SweptKind::kFileRecord;
  if (IsSubdirectoryStart(sector, size_t(sectorSize_))) return SweptKind::kSubdirectoryStart;
  if (IsFatDirectorySector(sector, size_t(sectorSize_))) return SweptKind::kDirectorySector;
  if (IsExfatSweptSector(ByteView(sector, bytesLeft), size_t(sectorSize_))) return SweptKind::kExfatSector;
  return SweptKind::kUnclaimed;
}

ISweepEngine& CProfessionalRecovery::EngineTaking(SweptKind kind) {
  switch (kind) {
    case SweptKind::kFileRecord: return deepNtfs_;
    case SweptKind::kSubdirectoryStart:
    case SweptKind::kDirectorySector: return deepFat_;
    case SweptKind::kExfatSector: return deepExfat_;
    case SweptKind::kUnclaimed: break;
  }
  return carving_;
}

SweepPosition CProfessionalRecovery::Position() {
  return {position_.totalSwept, total_, remainingSeconds_, GetFoundCount() + foundBase_, &reader_,
          sectorSize_};
}

uint32_t CProfessionalRecovery::ReadRecordSectors(uint64_t address) {
  uint32_t got = 0;
  recordBuffer_.assign(kRecordReadBytes, 0);
  reader_.ReadSectors(recordBuffer_.data(), uint32_t(kRecordReadBytes / sectorSize_), address,
                      sectorSize_, got);
  return got;
}

int CProfessionalRecovery::ProcessSector(const uint8_t* sector, size_t bytesLeft, uint64_t address,
                                         uint64_t& skip) {
  auto offer = [&] {
    SweptSector swept{KindOf(sector, bytesLeft), sector, bytesLeft, address};
    if (swept.kind != SweptKind::kUnclaimed)
      pendingDeepSectors_.emplace_back(address, DeepSectorKind(swept.kind));
    if (swept.kind == SweptKind::kFileRecord && bytesLeft < size_t(RecordBytes())) {
      // A record split by the end of the chunk is read afresh.
      const uint32_t got = ReadRecordSectors(address);
      if (got == 0) return kReadFault;
      swept.bytes = recordBuffer_.data();
      swept.length = size_t(got) * size_t(sectorSize_);
    }
    if (swept.kind != SweptKind::kUnclaimed)
      return EngineTaking(swept.kind).OfferSector(swept, Position(), skip);
    measuring_ = true;
    candidate_ = address;
    carvedBeforeCandidate_ = carving_.GetFoundCount();
    return carving_.OfferSector(swept, Position(), skip);
  };
  // A failure inside one engine must not end the scan: the sector is passed over.
  const int rc = ContainFailure(offer, [&] {
    skip = 1;
    return 0;
  });
  measuring_ = false;
  return rc;
}

int CProfessionalRecovery::ReportProgress() {
  uint64_t now = platform::TickMs();
  const uint64_t swept = position_.totalSwept;
  if (now - lastEstimateMs_ >= kEstimateIntervalMs) {
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

  // Decodes JPEGs ahead of the sweep on every core, so carving finds each decode made.
  JpegDecodeAhead ahead(reader_, sectorSize_, RangesAhead(range, offset, mapUsable));
  carving_.SetDecodeAhead(&ahead);
  struct Unset {
    CFileTypeRecovery& carving;
    ~Unset() { carving.SetDecodeAhead(nullptr); }
  } unset{carving_};
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
  carvedChecks_.clear();
  carvedChecksRead_ = false;
  if (resume_) {
    // Whoever started this scan may have opened a new session since the source was opened; the
    // engines must reopen their logs in the saved session's folder, so look it up again.
    ScanSessionEntry again;
    resume_ = LookupUnfinished(again);
    if (resume_) resumeEntry_ = again;
    LoadCheckpoint();
  }
  if (!resume_) {
    const std::string owner = imagePath_.empty()
                                  ? ScanLogCatalogue::PartitionOwner(diskNumber_, start_, count_)
                                  : ScanLogCatalogue::ImageOwner(imagePath_);
    if (int rc = catalogue.NewSession(owner); rc != 0) return rc;
  }
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
    // What one engine could not write does not keep the others from writing theirs.
    for (ISweepEngine* engine : SweepEngines()) engine->FinishSweep();
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
    case EngineKind::FastExfat:
    case EngineKind::FastFat: return fast_.get();
    case EngineKind::DeepNtfs: return &deepNtfs_;
    case EngineKind::DeepFat: return &deepFat_;
    case EngineKind::DeepExfat: return &deepExfat_;
    case EngineKind::FileType: return &carving_;
  }
  return nullptr;
}

FoundFileStore* CProfessionalRecovery::StoreOf(const FoundFileRecord& record) {
  switch (static_cast<EngineKind>(record.EngineKind())) {
    case EngineKind::FastNtfs:
    case EngineKind::FastFat:
    case EngineKind::FastExfat: return fastLog_ ? fastLog_->Store() : nullptr;
    case EngineKind::DeepNtfs: return deepNtfs_.Store();
    case EngineKind::DeepFat: return deepFat_.Store();
    case EngineKind::DeepExfat: return deepExfat_.Store();
    case EngineKind::FileType: return carving_.Store();
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
         deepNtfs_.GetFoundCount() + deepExfat_.GetFoundCount() + carving_.GetFoundCount();
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
  deepExfat_.SetSearchCallback(callback, userData);
  carving_.SetSearchCallback(callback, userData);
  return 0;
}

}  // namespace salvora
