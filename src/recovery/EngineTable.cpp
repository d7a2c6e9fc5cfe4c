#include "recovery/EngineTable.h"

#include <algorithm>
#include <mutex>

#include "carving/CFileTypeRecovery.h"
#include "exfat/CFastExfatRecovery.h"
#include "exfat/CProfessionalExfatRecovery.h"
#include "exfat/ExfatBootSector.h"
#include "exfat/ExfatSweptSector.h"
#include "ext/CFastExtRecovery.h"
#include "ext/ExtSuperblock.h"
#include "fat/CFastFatRecovery.h"
#include "fat/CProfessionalFatRecovery.h"
#include "fat/FatBootCopy.h"
#include "fat/FatBootSector.h"
#include "fat/FatGeometry.h"
#include "fatdir/FatDirectorySector.h"
#include "ntfs/CFastNtfsRecovery.h"
#include "ntfs/CProfessionalNtfsRecovery.h"
#include "ntfs/FileRecord.h"
#include "ntfs/NtfsBootCopy.h"
#include "ntfs/NtfsBootSector.h"
#include "recovery/EngineFactory.h"
#include "ntfs/NtfsUsageBitmap.h"
#include "fat/FatFreeSpace.h"
#include "scan/SourceIdentity.h"

namespace salvora {
namespace {

template <class Engine>
std::unique_ptr<IFileRecoveryParse> Make() {
  return std::make_unique<Engine>();
}

// NTFS: a FILE record is two 512-byte sectors, else one sector.
size_t NtfsRecordBytes(int sectorSize) { return sectorSize <= 512 ? 2 * size_t(sectorSize) : size_t(sectorSize); }

SweptKind NtfsClaims(ByteView available, size_t sectorSize) {
  return IsFileRecord(available, int(NtfsRecordBytes(int(sectorSize)))) ? CProfessionalNtfsRecovery::kSweptFileRecord
                                                                         : kUnclaimed;
}

// The backup boot sector in the volume's last sector.
bool NtfsCopy(const ProbeInput& in, ProbeResult& result) {
  std::vector<uint8_t> backup;
  if (!in.source) return false;
  auto offset = ReadNtfsBackupBoot(*in.source, in.startByte, in.startByte + in.volumeBytes, backup);
  if (!offset) return false;
  result.kind = SourceKind::Ntfs;
  result.boot = BootCopy::kBackup;
  result.bootOffset = *offset;
  return true;
}

bool NtfsClusters(ByteView boot, uint64_t volumeStart, int, uint64_t& first, uint32_t& clusterBytes) {
  const NtfsBootSector ntfs(boot);
  if (!ntfs.IsNtfs() || ntfs.SectorsPerCluster() > 128) return false;  // larger counts are coded as powers of two
  first = volumeStart;
  clusterBytes = uint32_t(ntfs.BytesPerSector()) * ntfs.SectorsPerCluster();
  return true;
}

// FAT: the primary or a FAT32 volume's backup copy, whichever describes a volume that fits.
bool FatChoice(const ProbeInput& in, ProbeResult& result) {
  const FatBootChoice fat = ChooseFatBootSector(in.probe, uint32_t(in.sectorSize), in.volumeBytes);
  if (fat.copy == BootCopy::kNone) return false;
  result.boot = fat.copy;
  result.bootOffset = fat.offset;
  // A volume that does not fit is swept whole as an unknown one.
  const bool usable = fat.copy == BootCopy::kPrimary || fat.copy == BootCopy::kBackup;
  result.kind = usable ? SourceKind::Fat : SourceKind::Unknown;
  return true;
}

SweptKind FatClaims(ByteView available, size_t sectorSize) {
  if (available.size() < sectorSize) return kUnclaimed;
  if (IsSubdirectoryStart(available.data(), sectorSize)) return CProfessionalFatRecovery::kSweptSubdirectoryStart;
  if (IsFatDirectorySector(available.data(), sectorSize)) return CProfessionalFatRecovery::kSweptDirectorySector;
  return kUnclaimed;
}

bool FatClusters(ByteView boot, uint64_t volumeStart, int sectorSize, uint64_t& first, uint32_t& clusterBytes) {
  const auto fat = FatGeometry::FromBootSector(boot);
  if (!fat || sectorSize <= 0) return false;
  const uint64_t dataByte = volumeStart * uint64_t(sectorSize) + uint64_t(fat->dataStart) * fat->sectorSize;
  // A data area off the sector grid gives no clusters, and no other file system is tried.
  first = dataByte / uint64_t(sectorSize);
  clusterBytes = dataByte % uint64_t(sectorSize) == 0 ? fat->ClusterBytes() : 0;
  return true;
}

// exFAT keeps a whole second boot region right after the first (512-byte sectors: in the probe).
bool ExfatCopy(const ProbeInput& in, ProbeResult& result) {
  const size_t backup = size_t(ExfatBootSector::kBootRegionSectors) * 512;
  const ByteView region = in.probe.Sub(backup, backup);
  if (!IsExfatBootSector(region) || !ExfatBootSector::RegionChecksumMatches(region, 512)) return false;
  result.kind = SourceKind::Exfat;
  result.boot = BootCopy::kBackup;
  result.bootOffset = backup;
  return true;
}

SweptKind ExfatClaims(ByteView available, size_t sectorSize) {
  return IsExfatSweptSector(available, sectorSize) ? CProfessionalExfatRecovery::kSweptSector : kUnclaimed;
}

// Table order is probe order (first match wins; an exFAT boot sector never passes FAT's test, its
// bytes per sector being zero) and the order a swept sector is offered: NTFS FILE records, FAT
// directory sectors, exFAT directory and boot sectors.
const EngineEntry kNtfs{.name = "ntfs",
                        .title = "NTFS",
                        .kind = SourceKind::Ntfs,
                        .recognises = IsNtfsBootSector,
                        .copyOnSource = NtfsCopy,
                        .makeFast = Make<CFastNtfsRecovery>,
                        .makeSweep = Make<CProfessionalNtfsRecovery>,
                        .claims = NtfsClaims,
                        .claimBytes = NtfsRecordBytes,
                        .sweptKinds = {CProfessionalNtfsRecovery::kSweptFileRecord},
                        .clusterGrid = NtfsClusters,
                        .fastKind = CFastNtfsRecovery::kRecordKind,
                        .sweepKind = CProfessionalNtfsRecovery::kRecordKind,
                        .sweepLogPrefix = CProfessionalNtfsRecovery::kLogPrefix,
                        .oldCheckpointSlot = 3,
                        .countFree = CountNtfsFreeBytes,
                        .freeIdentifiesSource = true};
const EngineEntry kExfat{.name = "exfat",
                         .title = "exFAT",
                         .kind = SourceKind::Exfat,
                         .recognises = IsExfatBootSector,
                         .copyInProbe = ExfatCopy,
                         .makeFast = Make<CFastExfatRecovery>,
                         .makeSweep = Make<CProfessionalExfatRecovery>,
                         .claims = ExfatClaims,
                         .sweptKinds = {CProfessionalExfatRecovery::kSweptSector},
                         .fastKind = CFastExfatRecovery::kRecordKind,
                         .sweepKind = CProfessionalExfatRecovery::kRecordKind,
                         .sweepLogPrefix = CProfessionalExfatRecovery::kLogPrefix,
                         .oldCheckpointSlot = 4,
                         .clusterRecords = true};
const EngineEntry kFat{.name = "fat",
                       .title = "FAT",
                       .kind = SourceKind::Fat,
                       .recognises = IsFatBootSector,
                       .settle = FatChoice,
                       .copyInProbe = FatChoice,
                       .makeFast = Make<CFastFatRecovery>,
                       .makeSweep = Make<CProfessionalFatRecovery>,
                       .claims = FatClaims,
                       .sweptKinds = {CProfessionalFatRecovery::kSweptSubdirectoryStart,
                                      CProfessionalFatRecovery::kSweptDirectorySector},
                       .clusterGrid = FatClusters,
                       .fastKind = CFastFatRecovery::kRecordKind,
                       .sweepKind = CProfessionalFatRecovery::kRecordKind,
                       .sweepLogPrefix = CProfessionalFatRecovery::kLogPrefix,
                       .oldCheckpointSlot = 2,
                       .countFree = CountFatFreeBytes,
                       .clusterRecords = true};
const EngineEntry kExt{.name = "ext", .title = "ext", .kind = SourceKind::Ext, .recognises = IsExtSuperblock,
                       .makeFast = Make<CFastExtRecovery>, .sweptKinds = {}};

// The catalogue, below this floor, tells an unchanged partition by the counters of the entries
// that say so.
bool GiveCounter(const EngineEntry& entry) {
  if (entry.countFree && entry.freeIdentifiesSource) RegisterFreeClusterCounter(entry.countFree);
  return true;
}

struct Table {
  std::mutex lock;
  std::vector<const EngineEntry*> entries{&kNtfs, &kFat, &kExfat, &kExt};
  Table() {
    for (const EngineEntry* entry : entries) GiveCounter(*entry);
  }
};

Table& TheTable() {
  static Table table;
  return table;
}

}  // namespace

std::vector<const EngineEntry*> Engines() {
  Table& table = TheTable();
  std::lock_guard hold(table.lock);
  return table.entries;
}

bool RegisterEngine(const EngineEntry& entry) {
  Table& table = TheTable();
  std::lock_guard hold(table.lock);
  if (std::find(table.entries.begin(), table.entries.end(), &entry) == table.entries.end())
    table.entries.push_back(&entry);
  return GiveCounter(entry);
}

void UnregisterEngine(const EngineEntry& entry) {
  Table& table = TheTable();
  std::lock_guard hold(table.lock);
  std::erase(table.entries, &entry);
}

const EngineEntry* EngineOfKind(uint32_t recordKind) {
  for (const EngineEntry* entry : Engines())
    if (entry->fastKind == recordKind || entry->sweepKind == recordKind) return entry;
  return nullptr;
}

const EngineEntry* EngineOfSweptKind(SweptKind kind) {
  if (kind == kUnclaimed) return nullptr;
  for (const EngineEntry* entry : Engines())
    if (std::find(entry->sweptKinds.begin(), entry->sweptKinds.end(), kind) != entry->sweptKinds.end()) return entry;
  return nullptr;
}

FindState StateOf(const FoundFileRecord& record) {
  const uint32_t kind = record.EngineKind();
  if (kind == kFileTypeRecordKind) return FindState::Carved;
  const EngineEntry* entry = EngineOfKind(kind);
  if (entry && entry->sweepKind == kind) return FindState::Lost;
  return record.IsDeleted() ? FindState::Deleted : FindState::Live;
}

ScanCheckpoint::OldSlots OldCheckpointSlots() {
  ScanCheckpoint::OldSlots slots;
  for (const EngineEntry* entry : Engines())
    if (entry->oldCheckpointSlot >= 2 && entry->oldCheckpointSlot <= 4 && entry->sweepLogPrefix)
      slots[size_t(entry->oldCheckpointSlot - 2)] = entry->sweepLogPrefix;
  return slots;
}

std::string RecordKindName(uint32_t recordKind) {
  if (recordKind == kFileTypeRecordKind) return "file-type";
  const EngineEntry* entry = EngineOfKind(recordKind);
  if (!entry) return "unknown";
  return std::string(entry->fastKind == recordKind ? "fast-" : "deep-") + entry->name;
}

std::vector<uint32_t> RecordKinds() {
  std::vector<uint32_t> kinds;
  const auto entries = Engines();
  for (const EngineEntry* entry : entries)
    if (entry->fastKind != UINT32_MAX) kinds.push_back(entry->fastKind);
  for (const EngineEntry* entry : entries)
    if (entry->sweepKind != UINT32_MAX) kinds.push_back(entry->sweepKind);
  kinds.push_back(kFileTypeRecordKind);
  return kinds;
}

}  // namespace salvora
