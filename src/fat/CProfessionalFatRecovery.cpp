#include "fat/CProfessionalFatRecovery.h"

#include "fat/FatBootCopy.h"
#include "fat/FatBootSector.h"
#include "platform/ErrorCodes.h"
#include "scan/RelationKey.h"
#include "scan/ScanLogName.h"

// Opening, the store-backed slots and the start of a scan. Sector handling and the final pass live
// in CProfessionalFatRecoveryScan.cpp, recovery and preview in CProfessionalFatRecoveryRecover.cpp.
namespace salvora {

CProfessionalFatRecovery::CProfessionalFatRecovery() {
  progressWeight_ = 90;
  faces_.log = this;
  faces_.sweep = this;
}
CProfessionalFatRecovery::~CProfessionalFatRecovery() = default;

int CProfessionalFatRecovery::OpenReader(std::unique_ptr<SectorReader> reader, uint64_t start,
                                         uint64_t length, char16_t letter) {
  reader_ = std::move(reader);
  windowStart_ = start;
  windowLength_ = length;
  driveLetter_ = letter;
  open_ = true;
  return kOk;
}

int CProfessionalFatRecovery::OpenImageFile(const std::string& path, char16_t driveLetter) {
  return OpenImageFile(path, driveLetter, 512);
}

int CProfessionalFatRecovery::OpenImageFile(const std::string& path, char16_t driveLetter,
                                            uint32_t sectorSize) {
  if (open_) return kOk;
  if (sectorSize < 512 || sectorSize > 4096 || (sectorSize & (sectorSize - 1)) != 0)
    return kInvalidParameter;
  SectorReader image;
  if (int rc = image.OpenFile(path); rc != kOk) return rc;
  return ShareSource(image, -1, 0, sectorSize, driveLetter);
}

int CProfessionalFatRecovery::OpenDiskPartition(int diskNumber, uint64_t startSector,
                                                uint64_t /*sectorCount*/, char16_t driveLetter) {
  if (open_) return kOk;
  SectorReader disk;
  if (int rc = disk.OpenDisk(diskNumber); rc != kOk) return rc;
  return ShareSource(disk, diskNumber, startSector, 0, driveLetter);
}

int CProfessionalFatRecovery::ShareSource(const SectorReader& source, int diskNumber,
                                          uint64_t startSector, uint32_t sectorSize,
                                          char16_t driveLetter) {
  if (open_) return kOk;
  auto reader = std::make_unique<SectorReader>();
  reader->Share(source);
  if (diskNumber < 0) {
    sectorSize_ = sectorSize;
    return OpenReader(std::move(reader), 0, source.TotalSectors() * 512 / sectorSize, driveLetter);
  }
  // The window's length is the whole disk: it only bounds the high-word trials, and folders of a
  // lost volume may lie beyond the partition the user picked.
  sectorSize_ = uint32_t(source.DeviceSectorSize());
  diskNumber_ = diskNumber;
  return OpenReader(std::move(reader), startSector, source.TotalSectors(), driveLetter);
}

int CProfessionalFatRecovery::OpenSource(std::unique_ptr<platform::RawSource> source,
                                         char16_t driveLetter, uint64_t start, uint64_t length) {
  if (open_) return kOk;
  auto reader = std::make_unique<SectorReader>();
  if (int rc = reader->AttachWhole(std::move(source)); rc != kOk) return rc;
  const uint64_t total = reader->TotalSectors();
  sectorSize_ = 512;
  if (length == 0) length = total > start ? total - start : 0;
  return OpenReader(std::move(reader), start, length, driveLetter);
}

int CProfessionalFatRecovery::Scan(const char* /*savedScanName*/) { return kOk; }

int CProfessionalFatRecovery::NextUnusedRange(uint64_t&, uint64_t&) { return kOk; }
int CProfessionalFatRecovery::BuildUsageBitmap() { return kOk; }

void CProfessionalFatRecovery::ResetScanState() {
  geometries_.clear();
  anchors_.clear();
  knownDirs_.clear();
  folderEntries_.clear();
  pendingFiles_.clear();
  keptSectors_.clear();
  openFragments_.clear();
  clusterEndFragments_.clear();
  continuation_.Clear();
  last_ = Placement{};
  heads_.clear();
  depths_.clear();
  rootCluster_ = 0;
  bootGeometry_ = false;
}

int CProfessionalFatRecovery::BeginProScan(const std::string& scanLogName) {
  ResetScanState();
  NewStore();
  savedFolders_.clear();
  if (scanLogName.empty()) return store_->OpenLog(MakeScanLogName(kLogPrefix, windowStart_));
  int rc = store_->OpenLog(scanLogName);
  // After a resume the directories met again name folders written before the cut.
  for (const FolderInfo& folder : store_->Folders()) savedFolders_.insert(folder.FolderId());
  return rc;
}

int CProfessionalFatRecovery::BeginSweep(const std::string& logName) {
  const int rc = BeginProScan(logName);
  ReadBootArea();  // without a FAT boot sector the geometries come from the sectors alone
  return rc;
}

int CProfessionalFatRecovery::OfferSector(const SweptSector& sector, const SweepPosition&, uint64_t&) {
  switch (sector.kind) {
    case kSweptSubdirectoryStart: return TakeSubdirectoryStart(sector.bytes, sector.address);
    case kSweptDirectorySector: return TakeDirectorySector(sector.bytes, sector.address);
    default: return kOk;
  }
}

int CProfessionalFatRecovery::ReadBootArea() {
  if (!reader_) return kInvalidParameter;
  const uint32_t count = kBootAreaBytes / sectorSize_ ? kBootAreaBytes / sectorSize_ : 1;
  std::vector<uint8_t> boot(size_t(count) * sectorSize_);
  uint32_t got = 0;
  int rc = reader_->ReadSectors(boot.data(), count, windowStart_, int(sectorSize_), got);
  // A bad sector behind the boot sector leaves zeros there; the boot sector alone is enough.
  if (rc != kOk && (rc == kInvalidParameter || got == 0)) return rc;
  // A damaged primary gives way to a FAT32 volume's backup copy.
  const ByteView area(boot.data(), boot.size());
  const FatBootChoice choice = ChooseFatBootSector(area, sectorSize_, 0);
  const size_t from = choice.copy == BootCopy::kBackup ? choice.offset : 0;
  uint32_t rootCluster = 0;
  auto g = GeometryFromBootArea(area.Sub(from, area.size() - from), windowStart_, sectorSize_,
                                rootCluster);
  if (!g) return kOk;
  AddGeometry(*g);
  rootCluster_ = rootCluster;
  bootGeometry_ = true;
  return kOk;
}

}  // namespace salvora
