#include "ntfs/CFastNtfsRecovery.h"

#include <algorithm>
#include <cstring>

#include "ntfs/AttributeWalk.h"
#include "ntfs/DataStream.h"
#include "ntfs/NtfsBootCopy.h"
#include "ntfs/FileRecord.h"
#include "platform/FailureContext.h"
#include "platform/Clock.h"
#include "platform/DiskMap.h"
#include "platform/SalvagingRead.h"
#include "scan/ScanLogName.h"

namespace salvora {
namespace {

constexpr size_t kBootBytes = 4096;
constexpr size_t kMftChunkRecords = 1024;

}  // namespace

CFastNtfsRecovery::CFastNtfsRecovery() {
  rootId_ = kRootRecord;
  faces_.log = this;
  faces_.volume = this;
  faces_.shared = this;
}

CFastNtfsRecovery::~CFastNtfsRecovery() = default;

VolumeFacts CFastNtfsRecovery::Volume() const {
  const NtfsGeometry& geometry = Geometry();
  return {opened_, uint32_t(geometry.bytesPerSector), geometry.ClusterSize(), 0};
}

int CFastNtfsRecovery::OpenImageFile(const std::string& path, char16_t driveLetter) {
  return Open(path, -1, 0, 0, true, driveLetter);
}

int CFastNtfsRecovery::OpenDiskPartition(int diskNumber, uint64_t startSector, uint64_t sectorCount,
                                         char16_t driveLetter) {
  std::string path;
  int rc = platform::DiskDevicePath(diskNumber, path);
  if (rc != 0) return rc;
  return Open(path, diskNumber, startSector, sectorCount, false, driveLetter);
}

int CFastNtfsRecovery::Open(const std::string& path, int diskNumber, uint64_t startSector,
                            uint64_t sectorCount, bool image, char16_t driveLetter) {
  opened_ = false;
  reader_.Close();
  if (int rc = image ? reader_.OpenFile(path) : reader_.OpenDisk(diskNumber); rc != 0) return rc;
  return OpenVolume(startSector, sectorCount, image, driveLetter);
}

int CFastNtfsRecovery::OpenShared(const SharedSource& source) {
  opened_ = false;
  reader_.Share(*source.reader);
  return source.image ? OpenVolume(0, 0, true, source.driveLetter)
                      : OpenVolume(source.startSector, source.sectorCount, false, source.driveLetter);
}

int CFastNtfsRecovery::OpenVolume(uint64_t startSector, uint64_t sectorCount, bool image, char16_t driveLetter) {
  platform::RawSource* raw = reader_.Source();
  if (!raw) return kInvalidParameter;
  const uint64_t deviceSectorSize = image ? 512 : uint64_t(std::max(512, reader_.DeviceSectorSize()));
  long long fileBytes = 0;
  if (image) {
    int error = 0;
    fileBytes = raw->ByteLength(&error);
    if (fileBytes < 0) return error;
  }
  if (startSector > UINT64_MAX / deviceSectorSize) return kInvalidParameter;
  std::vector<uint8_t> boot(kBootBytes, 0);
  // The boot sector is what counts: bad sectors behind it in the boot area are read as zeros.
  const uint64_t startByte = startSector * deviceSectorSize;
  platform::SalvagedRead read = platform::ReadSalvaging(*raw, boot.data(), boot.size(), startByte);
  int bootError = read.firstUnreadable < 512 ? read.firstError : read.bytes < boot.size() ? kReadFault : 0;
  if (bootError != 0 || !IsUsableNtfsBootSector(ByteView(boot.data(), boot.size()))) {
    // A damaged or unreadable primary gives way to the copy in the volume's last sector.
    int error = 0;
    const uint64_t endByte = image ? uint64_t(fileBytes)
                             : sectorCount != 0 ? (startSector + sectorCount) * deviceSectorSize
                                                : uint64_t(std::max(0LL, raw->ByteLength(&error)));
    std::vector<uint8_t> backup;
    if (ReadNtfsBackupBoot(*raw, startByte, endByte, backup)) {
      boot.swap(backup);
      bootError = 0;
    }
  }
  if (bootError != 0) {
    platform::NoteFailedStructure(bootError, "the NTFS boot sector", startSector);
    return bootError;
  }

  NtfsGeometry g;
  if (!NtfsGeometry::FromBootSector(ByteView(boot.data(), boot.size()), startSector, g))
    return kInvalidParameter;
  g.totalSectors = image ? uint64_t(fileBytes) / uint64_t(g.bytesPerSector) : sectorCount;
  driveLetter_ = driveLetter;
  chunk_.assign(size_t(g.recordSize) * kMftChunkRecords, 0);
  mft_.Attach(&reader_, g);
  data_.SetSectorSize(g.bytesPerSector);
  opened_ = true;
  mft_.LoadMftRuns();  // an MFT that cannot be read leaves no runs: the scan then finds nothing
  return 0;
}

int CFastNtfsRecovery::Scan(const char* savedScanName) {
  folderList_.clear();
  folderSet_.clear();
  unreadableRecords_ = 0;
  NewStore();
  if (savedScanName != nullptr) return store_->OpenLog(savedScanName);
  int rc = store_->OpenLog(MakeScanLogName(kFastLogPrefix, Geometry().volumeStart));
  if (rc != 0) return rc;  // nothing found could be kept
  if (!opened_) return kInvalidParameter;
  rc = WalkMft();
  if (rc != 0) return rc;
  RunFolderPass();
  if (scanCallback_) return ReportScanProgress(100);
  return 0;
}

int CFastNtfsRecovery::ReportScanProgress(int percent) {
  return scanCallback_(userData_, percent, progressWeight_, remainingSeconds_, 0, 0, 0, 0);
}

void CFastNtfsRecovery::UpdateEstimate(uint64_t processedSectors, uint64_t totalSectors) {
  uint64_t now = platform::TickMs();
  if (now - lastEstimateMs_ < kEstimateIntervalMs || progressWeight_ != 100) return;
  uint64_t elapsed = (now - scanStartMs_) / 1000;
  uint64_t bytesPerSector = uint64_t(Geometry().bytesPerSector);
  uint64_t rate = elapsed == 0 ? 0 : processedSectors * bytesPerSector / elapsed;
  if (rate == 0) rate = 1;
  remainingSeconds_ = int((totalSectors - processedSectors) * bytesPerSector / rate);
  lastEstimateMs_ = now;
}

int CFastNtfsRecovery::WalkMft() {
  const NtfsGeometry& g = Geometry();
  const uint64_t spc = uint64_t(g.sectorsPerCluster);
  const uint64_t bps = uint64_t(g.bytesPerSector);
  uint64_t total = 0;
  for (const auto& run : mft_.MftRuns()) total += run.length * spc;
  scanStartMs_ = lastEstimateMs_ = platform::TickMs();
  remainingSeconds_ = -1;
  uint64_t processed = 0;
  uint64_t recordNumber = 0;
  int64_t cluster = 0;
  for (const auto& run : mft_.MftRuns()) {
    cluster += run.delta;
    uint64_t runSectors = run.length * spc;
    uint64_t offset = 0;
    while (offset < runSectors) {
      uint64_t stepSectors = std::min<uint64_t>(chunk_.size() / bps, runSectors - offset);
      if (!run.sparse && cluster >= 0) {
        uint32_t got = 0;
        uint64_t first = g.volumeStart + uint64_t(cluster) * spc + offset;
        int rc = reader_.ReadSectors(chunk_.data(), uint32_t(stepSectors), first, g.bytesPerSector, got);
        if (rc == kInvalidParameter) return rc;
        const uint64_t records = stepSectors / uint64_t(g.sectorsPerRecord);
        const uint64_t whole = std::min<uint64_t>(got / uint64_t(g.sectorsPerRecord), records);
        for (uint64_t i = 0; i < whole; ++i)
          ProcessFileRecord(chunk_.data() + i * uint64_t(g.recordSize), Pass::File,
                            uint32_t(recordNumber + i));
        // Bad sectors in the table: every record behind them is tried on its own, and those that
        // cannot be read are passed over, so one bad sector costs only the records it holds.
        if (rc != 0) SalvageRecords(first, recordNumber, whole, records);
      }
      recordNumber += stepSectors / uint64_t(g.sectorsPerRecord);
      offset += stepSectors;
      processed += stepSectors;
      UpdateEstimate(processed, total);
      if (scanCallback_) {
        int rc = ReportScanProgress(int(processed * 100 / total));
        if (rc != 0) return rc;
      }
    }
  }
  return 0;
}

void CFastNtfsRecovery::SalvageRecords(uint64_t firstSector, uint64_t firstNumber, uint64_t from,
                                       uint64_t to) {
  const NtfsGeometry& g = Geometry();
  for (uint64_t i = from; i < to; ++i) {
    uint8_t* record = chunk_.data() + i * uint64_t(g.recordSize);
    uint32_t got = 0;
    reader_.ReadSectors(record, uint32_t(g.sectorsPerRecord), firstSector + i * uint64_t(g.sectorsPerRecord),
                        g.bytesPerSector, got);
    if (got == uint32_t(g.sectorsPerRecord))
      ProcessFileRecord(record, Pass::File, uint32_t(firstNumber + i));
    else
      ++unreadableRecords_;
  }
}

void CFastNtfsRecovery::RunFolderPass() {
  std::vector<uint8_t> buffer(NtfsMft::kRecordBuffer);
  for (size_t i = 0; i < folderList_.size(); ++i) {
    uint32_t n = folderList_[i];
    if (mft_.ReadMftRecord(n, buffer.data()) == 0)
      ProcessFileRecord(buffer.data(), Pass::Folder, n);
    else if (n > kLastSystemRecord)
      AddLostFolder(n, true);  // its files stay reachable under a folder of its number
  }
}

int CFastNtfsRecovery::ProcessFileRecord(uint8_t* data, Pass pass, uint32_t n) {
  const NtfsGeometry& g = Geometry();
  ByteView record(data, size_t(g.recordSize));
  FileRecordHeader header(record);
  if (pass == Pass::File && header.Flags() != 0) return 0;
  bool lost = pass == Pass::Folder && !header.IsDirectory();
  if (!header.HasMagic()) {
    if (lost) AddLostFolder(n, true);
    return kNotFileRecord;
  }
  mft_.Helper().ApplyFixup(data, size_t(g.recordSize));
  FileRecordSummary summary;
  if (!SummarizeFileRecord(record, std::min<size_t>(header.BytesInUse(), record.size()), summary))
    return kNotFileRecord;
  if (!summary.hasFileName) return 0;
  if (lost) {
    AddLostFolder(n, false);
    return 0;
  }
  if (n <= kLastSystemRecord) return 0;

  FoundFileRecord entry = BuildFoundRecord(summary, pass);
  // A record no longer in use is a deleted file or folder; listings and --only-deleted rely on it.
  entry.SetDeleted(!header.IsInUse());
  entry.SetClusterSize(g.ClusterSize());
  entry.SetObjectId(n);
  entry.SetEntrySector(mft_.MftRecordToSector(n));
  entry.SetPartitionStart(g.volumeStart);
  uint32_t parent = summary.firstName.ParentRecord();
  uint32_t depth = 0;
  WalkParentChain(parent, depth);
  if (pass == Pass::File) {
    entry.SetContentCheck(uint32_t(CheckFileContent(entry)));
    if (summary.hasData) entry.SetFileSize(summary.dataSize);
  }
  StoreRecord(entry, parent, depth, pass == Pass::Folder);
  if (pass == Pass::File)
    for (const auto& stream : summary.streams)
      StoreRecord(StreamEntry(entry, stream.name, stream.size), parent, depth, false);
  return 0;
}

FoundFileRecord CFastNtfsRecovery::BuildFoundRecord(const FileRecordSummary& summary, Pass pass) const {
  FoundFileRecord r;
  r.SetFolder(pass == Pass::Folder);
  r.SetCreationTime(summary.firstName.CreationTime());
  r.SetWriteTime(summary.firstName.ModificationTime());
  r.SetAccessTime(summary.firstName.AccessTime());
  r.SetFileSize(summary.firstName.RealSize());
  r.SetEngineKind(kRecordKind);
  r.SetDriveLetter(driveLetter_);
  r.SetClusterSize(kLostFolderClusterSize);
  r.SetDataAreaStart(0);
  r.SetName(summary.name);
  return r;
}

int CFastNtfsRecovery::StoreRecord(const FoundFileRecord& record, uint32_t parent, uint32_t depth,
                                   bool folder) {
  if (!store_) return kInvalidParameter;
  return store_->StoreRecord(record, parent, depth, folder);
}

void CFastNtfsRecovery::AddLostFolder(uint32_t k, bool unreadable) {
  FoundFileRecord r;
  r.SetFolder(true);
  r.SetObjectId(k);
  r.SetName("LostFolder" + std::to_string(k));
  r.SetEngineKind(kRecordKind);
  r.SetDriveLetter(driveLetter_);
  r.SetClusterSize(kLostFolderClusterSize);
  if (unreadable) r.SetContentCheck(1);
  StoreRecord(r, kRootRecord, 0, true);
}

void CFastNtfsRecovery::NoteFolder(uint32_t n) {
  if (folderSet_.insert(n).second) folderList_.push_back(n);
}

// Climbs from a parent folder towards the root, noting every folder met; depth counts them. The
// visited set ends cycles of parent references.
void CFastNtfsRecovery::WalkParentChain(uint32_t parent, uint32_t& depth) {
  std::unordered_set<uint32_t> visited;
  std::vector<uint8_t> buffer(NtfsMft::kRecordBuffer);
  const NtfsGeometry& g = Geometry();
  uint32_t p = parent;
  while (p != kRootRecord) {
    visited.insert(p);
    NoteFolder(p);
    ++depth;
    if (mft_.ReadMftRecord(p, buffer.data()) != 0) return;
    ByteView record(buffer.data(), size_t(g.recordSize));
    FileRecordHeader header(record);
    if (!header.HasMagic()) return;
    mft_.Helper().ApplyFixup(buffer.data(), size_t(g.recordSize));
    if (!header.IsDirectory()) return;
    AttributeHeader name{ByteView()};
    if (!FindAttribute(record, std::min<size_t>(header.BytesInUse(), record.size()), kAttrFileName, name))
      return;
    uint32_t q = FileNameAttribute(name.view()).ParentRecord();
    if (visited.count(q)) return;
    p = q;
  }
}

}  // namespace salvora
