#include "exfat/CProfessionalExfatRecovery.h"

#include "exfat/ExfatBootSector.h"
#include "platform/ErrorCodes.h"
#include "scan/RelationKey.h"
#include "scan/ScanLogName.h"

// Opening, the store-backed slots and the start of a scan. Sector handling and the final pass live
// in CProfessionalExfatRecoveryScan.cpp, recovery and preview in CProfessionalExfatRecoveryRecover.cpp.
namespace salvora {

uint32_t ExfatClusterLayout::ClusterHolding(uint64_t sector) const {
  if (sectorsPerCluster == 0 || sector < heapStart) return 0;
  const uint64_t c = (sector - heapStart) / sectorsPerCluster + 2;
  return c < clusterCount + 2 && c <= UINT32_MAX ? uint32_t(c) : 0;
}

CProfessionalExfatRecovery::CProfessionalExfatRecovery() {
  faces_.log = this;
  faces_.sweep = this;
}
CProfessionalExfatRecovery::~CProfessionalExfatRecovery() = default;

int CProfessionalExfatRecovery::OpenImageFile(const std::string& path, char16_t driveLetter) {
  if (reader_) return kOk;
  SectorReader image;
  if (int rc = image.OpenFile(path); rc != kOk) return rc;
  return ShareSource(image, -1, 0, 512, driveLetter);
}

int CProfessionalExfatRecovery::OpenDiskPartition(int diskNumber, uint64_t startSector, uint64_t,
                                                  char16_t driveLetter) {
  if (reader_) return kOk;
  SectorReader disk;
  if (int rc = disk.OpenDisk(diskNumber); rc != kOk) return rc;
  return ShareSource(disk, diskNumber, startSector, 0, driveLetter);
}

int CProfessionalExfatRecovery::ShareSource(const SectorReader& source, int diskNumber,
                                            uint64_t startSector, uint32_t sectorSize,
                                            char16_t driveLetter) {
  if (reader_) return kOk;
  sectorSize_ = diskNumber < 0 ? sectorSize : uint32_t(source.DeviceSectorSize());
  if (sectorSize_ < 512 || sectorSize_ > 4096 || (sectorSize_ & (sectorSize_ - 1)) != 0)
    return kInvalidParameter;
  reader_ = std::make_unique<SectorReader>();
  reader_->Share(source);
  windowStart_ = diskNumber < 0 ? 0 : startSector;
  driveLetter_ = driveLetter;
  return kOk;
}

int CProfessionalExfatRecovery::OpenSource(std::unique_ptr<platform::RawSource> source,
                                           char16_t driveLetter) {
  if (reader_) return kOk;
  auto reader = std::make_unique<SectorReader>();
  if (int rc = reader->AttachWhole(std::move(source)); rc != kOk) return rc;
  reader_ = std::move(reader);
  sectorSize_ = 512;
  windowStart_ = 0;
  driveLetter_ = driveLetter;
  return kOk;
}

// The sweep feeds this engine; on its own it scans nothing.
int CProfessionalExfatRecovery::Scan(const char*) { return kOk; }

void CProfessionalExfatRecovery::ResetScanState() {
  folders_.clear();
  files_.clear();
  directories_.clear();
  roots_.clear();
  parentOf_.clear();
  depths_.clear();
}

int CProfessionalExfatRecovery::BeginSweep(const std::string& logName) {
  ResetScanState();
  layouts_.clear();
  NewStore();
  const int rc = logName.empty() ? store_->OpenLog(MakeScanLogName(kLogPrefix, windowStart_))
                                 : store_->OpenLog(logName);
  ReadBootArea();  // without one, the layouts come from boot sectors met in the sweep
  return rc;
}

int CProfessionalExfatRecovery::ReadBootArea() {
  if (!reader_) return kInvalidParameter;
  std::vector<uint8_t> boot(sectorSize_);
  uint32_t got = 0;
  if (int rc = reader_->ReadSectors(boot.data(), 1, windowStart_, int(sectorSize_), got); rc != kOk || got != 1)
    return rc != kOk ? rc : kReadFault;
  AdoptBootSector(boot.data(), boot.size(), windowStart_);
  return kOk;
}

void CProfessionalExfatRecovery::AdoptBootSector(const uint8_t* bytes, size_t length, uint64_t address) {
  const ExfatBootSector boot(ByteView(bytes, length));
  if (!boot.IsExfat()) return;
  // The boot sector counts in its own sectors; the engine reads in the source's.
  const uint32_t bps = boot.BytesPerSector();
  if (bps < sectorSize_ || bps % sectorSize_ != 0) return;
  const uint64_t scale = bps / sectorSize_;
  ExfatClusterLayout layout;
  layout.volumeStart = address;
  layout.heapStart = address + uint64_t(boot.ClusterHeapOffset()) * scale;
  layout.sectorsPerCluster = uint32_t(boot.SectorsPerCluster() * scale);
  layout.clusterCount = boot.ClusterCount();
  if (layout.sectorsPerCluster == 0 || uint64_t(layout.sectorsPerCluster) * sectorSize_ > kMaxClusterBytes)
    return;
  // The backup boot region (and any copy in a known volume's system area) is not another volume.
  for (const ExfatClusterLayout& known : layouts_)
    if (address >= known.volumeStart && address < known.heapStart) return;
  if (layouts_.size() < kMaxLayouts) layouts_.push_back(layout);
}

}  // namespace salvora
