// Checkpoints and resume of the advanced scan: what a checkpoint writes (the deep engines'
// sectors, the logs' lengths, the position), how a resumed scan cuts its logs back and offers the
// deep engines their sectors again, and the catalogue entry that names the saved scan.
#include "recovery/CProfessionalRecovery.h"

#include <algorithm>

#include "platform/Clock.h"
#include "platform/ErrorCodes.h"
#include "scan/ContainFailure.h"
#include "scan/DeepSectorLog.h"
#include "scan/ScanLogCatalogue.h"
#include "scan/ScanLogName.h"

namespace salvora {
namespace {

// A long replay reports its progress (and can be cancelled) after this many sectors.
constexpr size_t kReplayReportEvery = 1024;

}  // namespace

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
  if (saved.Read(resumeEntry_.SessionFolder(), OldCheckpointSlots()) != 0) return;
  // Written before the entry, and always with the log lengths of its own moment: when the two
  // differ, the process was stopped between them and the checkpoint is the one that matches.
  checkpoint_ = saved;
  haveCheckpoint_ = true;
  resumeEntry_.SetResume(saved.Position());
}

namespace {

FoundFileStore* IfOpen(FoundFileStore* store) { return store && store->IsOpen() ? store : nullptr; }

}  // namespace

FoundFileStore* CProfessionalRecovery::FastStore() { return IfOpen(fastLog_ ? fastLog_->Store() : nullptr); }

FoundFileStore* CProfessionalRecovery::CarvedStore() { return IfOpen(carving_.Store()); }

std::vector<CProfessionalRecovery::KeptLog> CProfessionalRecovery::KeptLogs() {
  std::vector<KeptLog> logs{{kFastLogPrefix, FastStore(), nullptr}, {kFileTypeLogPrefix, CarvedStore(), nullptr}};
  for (SweepSlot& slot : sweeps_)
    if (slot.entry->sweepLogPrefix)
      logs.push_back({slot.entry->sweepLogPrefix, IfOpen(slot.sweep->Store()), &slot.memoryStart});
  return logs;
}

void CProfessionalRecovery::CutLogsBack() {
  if (!haveCheckpoint_) return;
  auto& catalogue = ScanLogCatalogue::Instance();
  for (const ScanCheckpoint::LogLength& log : checkpoint_.Logs()) {
    if (log.resumeRecords == ScanCheckpoint::kNoLog) continue;
    std::string name;
    catalogue.FindLog(sessionFolder_, log.prefix, name);
    if (name.empty()) continue;
    FoundFileStore store;
    // A log that cannot be cut is still reopened: at worst some finds are listed twice.
    if (store.OpenLogIn(sessionFolder_, name) == 0)
      store.CutBack(uint32_t(std::min<uint64_t>(log.resumeRecords, UINT32_MAX)));
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
  // Logs whose engine has none open keep what the last checkpoint said about them.
  ScanCheckpoint next = checkpoint_;
  for (const KeptLog& log : KeptLogs()) {
    if (!log.store) continue;
    if (int rc = log.store->Sync(); rc != 0) return rc;
    const uint64_t records = log.store->TotalRecords();
    const bool inMemory = !deepFinished_ && log.memoryStart;
    next.SetLog(log.prefix, records, inMemory ? *log.memoryStart : records);
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
  for (const KeptLog& log : KeptLogs()) {
    if (log.store && log.memoryStart && log.store->TotalRecords() > *log.memoryStart)
      held += log.store->TotalRecords() - *log.memoryStart;
  }
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

int CProfessionalRecovery::OnCarvingProgress(void* self, int percent, int weight, int remainingSeconds,
                                             uint64_t current, uint64_t total, uint64_t found, int reserved) {
  auto* pro = static_cast<CProfessionalRecovery*>(self);
  pro->CheckpointBeforeCandidate();
  if (!pro->scanCallback_) return 0;
  return pro->scanCallback_(pro->userData_, percent, weight, remainingSeconds, current, total, found, reserved);
}

int CProfessionalRecovery::OnCarvingRecovery(void* self, int percent, int hundred, int errorCode,
                                             const char* outputPath) {
  auto* pro = static_cast<CProfessionalRecovery*>(self);
  return pro->recoveryCallback_ ? pro->recoveryCallback_(pro->userData_, percent, hundred, errorCode, outputPath) : 0;
}

// A measurement may read far (a clip to its end, a damaged card slowly) while the sweep stands
// at the candidate's sector. Everything before that sector is done, so a due checkpoint is made
// there; after a kill the candidate is measured again. Once carving has written the candidate's
// record a checkpoint at its sector would keep the record and find it again, so none is made.
void CProfessionalRecovery::CheckpointBeforeCandidate() {
  if (!measuring_ || carving_.GetFoundCount() != carvedBeforeCandidate_) return;
  if (platform::TickMs() - lastCheckpointMs_ < checkpointIntervalMs_) return;
  const uint64_t rangeFirst = start_ + position_.rangeStart;
  if (candidate_ < rangeFirst + position_.rangeSwept) return;
  // The position stands where the chunk (or an earlier checkpoint in it) began.
  const uint64_t within = candidate_ - rangeFirst;
  // Standing still, a checkpoint would only write the last one again.
  if (haveCheckpoint_ && checkpoint_.Position().rangeStart == position_.rangeStart &&
      checkpoint_.Position().rangeSwept == within)
    return;
  position_.totalSwept += within - position_.rangeSwept;
  position_.rangeSwept = within;
  CheckpointWhenDue(checkpointIntervalMs_);
}

void CProfessionalRecovery::OfferAgain(const DeepSectorEntry& entry, std::vector<uint8_t>& buffer) {
  const SweptKind kind = entry.Kind();
  SweepSlot* slot = SlotTaking(kind);
  if (!slot) return;
  // A structure larger than a sector is read whole, as the sweep would have read it afresh.
  const uint32_t sectors = slot->entry->claimBytes ? std::max(1u, uint32_t(kClaimReadBytes / sectorSize_)) : 1;
  buffer.assign(size_t(sectors) * size_t(sectorSize_), 0);
  uint32_t got = 0;
  reader_.ReadSectors(buffer.data(), sectors, entry.Sector(), sectorSize_, got);
  if (got == 0) return;
  const SweptSector offer{kind, buffer.data(), size_t(got) * size_t(sectorSize_), entry.Sector()};
  uint64_t skip = 1;
  // As in the sweep: one sector's failure is passed over.
  ContainFailure([&] { return slot->sweep->OfferSector(offer, SweepPosition{}, skip); },
                 [] { return 0; });
}

int CProfessionalRecovery::ReplayDeepSectors() {
  std::vector<DeepSectorEntry> entries;
  // A shorter log than the checkpoint says (a damaged folder) gives back what it holds.
  DeepSectorLog::Read(sessionFolder_, checkpoint_.DeepSectors(), entries);
  deepSectorsSaved_ = entries.size();
  std::vector<uint8_t> buffer;
  for (size_t i = 0; i < entries.size(); ++i) {
    // Long replays show the saved position and can be cancelled.
    if ((i + 1) % kReplayReportEvery == 0) {
      if (int rc = ReportProgress(); rc != 0) return rc;
    }
    OfferAgain(entries[i], buffer);
  }
  return 0;
}

}  // namespace salvora
