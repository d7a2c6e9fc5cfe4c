#include "recovery/CProfessionalRecovery.h"

#include "carving/JpegDecodeAhead.h"
#include "carving/MeasureContext.h"
#include "recovery/LiveFreeSectors.h"
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
  const IVolumeFacts* facts = fast ? fast->Faces().volume : nullptr;
  const uint32_t declared = facts ? facts->Volume().sectorSize : 0;
  return declared >= 512 && declared <= 4096 && (declared & (declared - 1)) == 0 ? int(declared) : 512;
}

// A fast engine that could not open its volume (a boot sector no layout can be read from) would
// end the scan before the sweep: without it the whole source is swept as an unknown one.
LoggedEngine OpenedOrNone(LoggedEngine made) {
  const IVolumeFacts* facts = made.engine ? made.engine->Faces().volume : nullptr;
  if (facts && !facts->Volume().opened) return {};
  return made;
}

// Thousands of small free ranges must not each cost a checkpoint.
constexpr uint64_t kRangeEndCheckpointGapMs = 1000;
// How often the time left is estimated again.
constexpr uint64_t kEstimateIntervalMs = 5000;

}  // namespace

CProfessionalRecovery::CProfessionalRecovery() {
  faces_.log = nullptr;
  faces_.saved = this;
  faces_.records = this;
  faces_.verdicts = this;
  for (const EngineEntry* entry : Engines()) {
    if (!entry->makeSweep) continue;
    SweepSlot slot{entry, entry->makeSweep(), nullptr};
    slot.sweep = slot.engine->Faces().sweep;
    if (slot.sweep) sweeps_.push_back(std::move(slot));
  }
}

void CProfessionalRecovery::AdoptFast(LoggedEngine made) {
  made = OpenedOrNone(std::move(made));
  fast_ = std::move(made.engine);
  fastLog_ = made.log;
  fastEntry_ = fast_ ? made.entry : nullptr;
}

int CProfessionalRecovery::AttachSweepEngines(bool image) {
  const SharedSource source{&reader_, image, diskNumber_, start_, count_, sectorSize_, letter_, imagePath_};
  carving_.AttachSource(source);
  // Opening the sweep engines is part of opening the scan (the deep NTFS engine's failure always
  // was): the first sweep engine's failure is returned.
  int result = 0;
  for (SweepSlot& slot : sweeps_)
    if (int rc = slot.sweep->AttachSource(source); rc != 0 && result == 0) result = rc;
  return result;
}

CProfessionalRecovery::~CProfessionalRecovery() {
  // The fast engine goes first, then the members in reverse order of declaration.
  fast_.reset();
}

int CProfessionalRecovery::OpenImageFile(const std::string& path, char16_t driveLetter) {
  letter_ = driveLetter;
  if (int rc = reader_.OpenFile(path); rc != 0) {
    probe_.error = rc;
    return rc;
  }
  diskNumber_ = int(kImageDiskNumber);
  start_ = 0;
  // The fast engine comes first here: only a boot sector it recognised may set the sector size
  // in which every engine of this scan works.
  probe_ = EngineFactory::ProbeReader(reader_, 0, 0);
  AdoptFast(EngineFactory::CreateFastOn(probe_, SharedSource{&reader_, true, -1, 0, 0, 512, driveLetter, path}));
  sectorSize_ = ImageSectorSize(fast_.get());
  count_ = reader_.TotalSectors() * 512 / uint64_t(sectorSize_);
  imagePath_ = path;
  resume_ = LookupUnfinished(resumeEntry_);
  LoadCheckpoint();
  return AttachSweepEngines(true);
}

int CProfessionalRecovery::OpenDiskPartition(int diskNumber, uint64_t startSector,
                                             uint64_t sectorCount, char16_t driveLetter) {
  diskNumber_ = diskNumber;
  start_ = startSector;
  count_ = sectorCount;
  letter_ = driveLetter;
  imagePath_.clear();
  if (int rc = reader_.OpenDisk(diskNumber); rc != 0) {
    probe_.error = rc;
    return rc;
  }
  EngineFactory::FlushBeforeReading(diskNumber, startSector);
  sectorSize_ = reader_.DeviceSectorSize();
  probe_ = EngineFactory::ProbeReader(reader_, startSector, sectorCount);
  resume_ = LookupUnfinished(resumeEntry_);
  LoadCheckpoint();
  const int rc = AttachSweepEngines(false);
  AdoptFast(EngineFactory::CreateFastOn(
      probe_, SharedSource{&reader_, false, diskNumber, startSector, sectorCount, sectorSize_, driveLetter, {}}));
  return rc;
}

int CProfessionalRecovery::SetScanCallbacks(ScanProgressCallback scan,
                                            RecoveryProgressCallback recovery, void* userData,
                                            int) {
  scanCallback_ = scan;
  recoveryCallback_ = recovery;
  userData_ = userData;
  if (fast_) fast_->SetScanCallbacks(scan, recovery, userData, kFastWeight);
  for (SweepSlot& slot : sweeps_) slot.engine->SetScanCallbacks(scan, recovery, userData, kDeepWeight);
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

// The volume's clusters, for the carving engine's search of a file's second piece, as the first
// entry of the table that reads the boot sector gives them; nothing for an unknown volume.
void CProfessionalRecovery::TellCarvingClusters() {
  if (sectorSize_ <= 0) return;
  std::vector<uint8_t> boot(size_t(sectorSize_), 0);
  uint32_t got = 0;
  if (reader_.ReadSectors(boot.data(), 1, start_, sectorSize_, got) != kOk || got != 1) return;
  for (const EngineEntry* entry : Engines()) {
    uint64_t first = 0;
    uint32_t clusterBytes = 0;
    if (!entry->clusterGrid || !entry->clusterGrid(ByteView(boot.data(), boot.size()), start_, sectorSize_, first, clusterBytes))
      continue;
    if (clusterBytes != 0) carving_.SetAllocationUnit(first, clusterBytes);
    return;
  }
}

std::vector<ISweepEngine*> CProfessionalRecovery::SweepEngines() {
  std::vector<ISweepEngine*> engines{&carving_};
  for (SweepSlot& slot : sweeps_) engines.push_back(slot.sweep);
  return engines;
}

int CProfessionalRecovery::BindDeepEngines() {
  carving_.ShareSource(reader_, start_, count_, letter_, sectorSize_);
  TellCarvingClusters();
  // A fresh scan opens new logs; a resumed one reopens its session's.
  auto begin = [this](ISweepEngine& engine, const char* prefix) {
    std::string name;
    if (resume_ && prefix) ScanLogCatalogue::Instance().FindLog(sessionFolder_, prefix, name);
    engine.BeginSweep(name);
  };
  begin(carving_, kFileTypeLogPrefix);
  for (SweepSlot& slot : sweeps_) begin(*slot.sweep, slot.entry->sweepLogPrefix);
  MeasureContext::Instance().TransportStreamExtents.clear();
  // Where the deep engines' memory begins: a resumed log has already been cut back to it.
  for (SweepSlot& slot : sweeps_) {
    FoundFileStore* store = slot.sweep->Store();
    if (store && store->IsOpen()) slot.memoryStart = store->TotalRecords();
  }
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
  std::vector<JpegDecodeAhead::Range> ranges;
  for (Range r = first; r.length != 0 && ranges.size() < kMostRangesAhead; r = NextRange(r, mapUsable)) {
    const uint64_t skip = r.start == first.start ? std::min(offset, r.length) : 0;
    if (r.length > skip) ranges.push_back({start_ + r.start + skip, r.length - skip});
  }
  return ranges;
}

FreeSpaceStream CProfessionalRecovery::FreeSpaceOf(const std::vector<JpegDecodeAhead::Range>& ranges) const {
  // A map followed only so far (RangesAhead's bound) leaves the stream's end unknown: none.
  if (ranges.size() >= kMostRangesAhead) return {};
  return FreeSpaceStream(ranges, sectorSize_);
}

CProfessionalRecovery::Claim CProfessionalRecovery::ClaimOf(const uint8_t* sector, size_t bytesLeft) {
  const ByteView available(sector, bytesLeft);
  for (SweepSlot& slot : sweeps_) {
    if (!slot.entry->claims) continue;
    if (const SweptKind kind = slot.entry->claims(available, size_t(sectorSize_)); kind != kUnclaimed)
      return {kind, &slot};
  }
  return {};
}

CProfessionalRecovery::SweepSlot* CProfessionalRecovery::SlotTaking(SweptKind kind) {
  for (SweepSlot& slot : sweeps_) {
    const auto& kinds = slot.entry->sweptKinds;
    if (std::find(kinds.begin(), kinds.end(), kind) != kinds.end()) return &slot;
  }
  return nullptr;
}

CProfessionalRecovery::SweepSlot* CProfessionalRecovery::SlotOfKind(uint32_t recordKind) {
  for (SweepSlot& slot : sweeps_)
    if (slot.entry->sweepKind == recordKind) return &slot;
  return nullptr;
}

size_t CProfessionalRecovery::ClaimBytes(const SweepSlot& slot) const {
  const size_t bytes = slot.entry->claimBytes ? slot.entry->claimBytes(sectorSize_) : 0;
  return std::max(bytes, size_t(sectorSize_));
}

SweepPosition CProfessionalRecovery::Position() {
  return {position_.totalSwept, total_, remainingSeconds_, GetFoundCount() + foundBase_, &reader_,
          sectorSize_};
}

uint32_t CProfessionalRecovery::ReadRecordSectors(uint64_t address) {
  uint32_t got = 0;
  recordBuffer_.assign(kClaimReadBytes, 0);
  reader_.ReadSectors(recordBuffer_.data(), uint32_t(kClaimReadBytes / sectorSize_), address,
                      sectorSize_, got);
  return got;
}

int CProfessionalRecovery::ProcessSector(const uint8_t* sector, size_t bytesLeft, uint64_t address,
                                         uint64_t& skip) {
  auto offer = [&] {
    const Claim claim = ClaimOf(sector, bytesLeft);
    SweptSector swept{claim.kind, sector, bytesLeft, address};
    if (claim.slot) {
      pendingDeepSectors_.emplace_back(address, claim.kind);
      if (bytesLeft < ClaimBytes(*claim.slot)) {
        // A structure split by the end of the chunk is read afresh.
        const uint32_t got = ReadRecordSectors(address);
        if (got == 0) return kReadFault;
        swept.bytes = recordBuffer_.data();
        swept.length = size_t(got) * size_t(sectorSize_);
      }
      return claim.slot->sweep->OfferSector(swept, Position(), skip);
    }
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
  std::vector<JpegDecodeAhead::Range> ranges = RangesAhead(range, offset, mapUsable);
  // With the volume's map, carving looks for a broken photo's rest in the free clusters alone.
  if (mapUsable) carving_.SetFreeSpace(FreeSpaceOf(ranges));
  // A listing without verdicts needs no decode of the photos the file system already places.
  placedPhotos_ = verdictsWanted_ ? FileSystemFiles() : FastPhotosInOneRun();
  const FileSystemFiles* placed = placedPhotos_.Count() > 0 ? &placedPhotos_ : nullptr;
  carving_.SetPlacedFiles(placed);
  // Made before the decodes ahead, so undone after their workers, which read what it undoes.
  struct Unset {
    CFileTypeRecovery& carving;
    FileSystemFiles& placed;
    ~Unset() {
      carving.SetDecodeAhead(nullptr);
      carving.SetFreeSpace({});
      carving.SetPlacedFiles(nullptr);
      placed = FileSystemFiles();
    }
  } unset{carving_, placedPhotos_};
  // Broken photos are searched for their pieces on the workers too, as carving would.
  JpegDecodeAhead ahead(reader_, sectorSize_, std::move(ranges), 0, placed, carving_.SearchAhead(sectorSize_));
  carving_.SetDecodeAhead(&ahead);
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
  for (SweepSlot& slot : sweeps_)
    slot.memoryStart = haveCheckpoint_ && slot.entry->sweepLogPrefix ? checkpoint_.ResumeRecords(slot.entry->sweepLogPrefix) : 0;
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
    // Deleted files put back from their pieces keep off live files' clusters where the map holds.
    std::optional<LiveFreeSectors> live;
    if (mapUsable) live.emplace(*fast_, start_);
    // What one engine could not write does not keep the others from writing theirs; a cancel
    // while they finish leaves the scan unfinished, to be finished on resume.
    for (ISweepEngine* engine : SweepEngines()) {
      engine->KnowFreeSectors(live ? live->Test() : FreeSectorTest{});
      if (engine->FinishSweep() == kScanCancelled && result == 0) result = kScanCancelled;
    }
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
  const uint32_t kind = record.EngineKind();
  if (kind == kFileTypeRecordKind) return &carving_;
  if (fastEntry_ && fastEntry_->fastKind == kind) return fast_.get();
  SweepSlot* slot = SlotOfKind(kind);
  return slot ? slot->engine.get() : nullptr;
}

FoundFileStore* CProfessionalRecovery::StoreOf(const FoundFileRecord& record) {
  const uint32_t kind = record.EngineKind();
  if (kind == kFileTypeRecordKind) return carving_.Store();
  if (fastEntry_ && fastEntry_->fastKind == kind) return fastLog_ ? fastLog_->Store() : nullptr;
  SweepSlot* slot = SlotOfKind(kind);
  return slot ? slot->sweep->Store() : nullptr;
}

int CProfessionalRecovery::ListChildren(const FoundFileRecord* folder, int depth,
                                        std::vector<FoundFileRecord>& children) {
  return ListMerged(folder, depth, children);
}

int CProfessionalRecovery::CountFiles(const FoundFileRecord* folder, int depth, int& count) {
  return CountMerged(folder, depth, count);
}

uint64_t CProfessionalRecovery::GetFoundCount() {
  uint64_t found = (fast_ ? fast_->GetFoundCount() : 0) + carving_.GetFoundCount();
  for (SweepSlot& slot : sweeps_) found += slot.engine->GetFoundCount();
  return found;
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
  for (SweepSlot& slot : sweeps_) slot.engine->SetSearchCallback(callback, userData);
  carving_.SetSearchCallback(callback, userData);
  return 0;
}

}  // namespace salvora
