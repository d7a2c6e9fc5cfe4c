#include "exfat/CFastExfatRecovery.h"

#include <algorithm>

#include "exfat/ExfatBootSector.h"
#include "exfat/ExfatDirectoryEntry.h"
#include "platform/FailureContext.h"
#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

constexpr uint32_t kMaxSectorSize = 4096;

}  // namespace

CFastExfatRecovery::CFastExfatRecovery() {
  faces_.log = this;
  faces_.volume = this;
  faces_.shared = this;
}
CFastExfatRecovery::~CFastExfatRecovery() = default;

int CFastExfatRecovery::OpenImageFile(const std::string& path, char16_t driveLetter) {
  if (open_) return 0;
  auto reader = std::make_unique<SectorReader>();
  if (int rc = reader->OpenFile(path); rc != 0) return openError_ = rc;
  return OpenReader(std::move(reader), 0, driveLetter);
}

int CFastExfatRecovery::OpenDiskPartition(int diskNumber, uint64_t startSector, uint64_t sectorCount,
                                          char16_t driveLetter) {
  if (open_) return 0;
  auto reader = std::make_unique<SectorReader>();
  if (int rc = reader->OpenDisk(diskNumber); rc != 0) return openError_ = rc;
  return OpenPartition(std::move(reader), startSector, sectorCount, driveLetter);
}

int CFastExfatRecovery::OpenPartition(std::unique_ptr<SectorReader> reader, uint64_t startSector,
                                      uint64_t sectorCount, char16_t driveLetter) {
  if (int rc = OpenReader(std::move(reader), startSector, driveLetter); rc != 0) return rc;
  // The partition's own length bounds the volume where the table gives one.
  const uint64_t deviceBytes = sectorCount * uint64_t(reader_->DeviceSectorSize());
  if (sectorCount != 0) volumeSectors_ = std::min<uint64_t>(volumeSectors_, deviceBytes / sectorSize_);
  return 0;
}

int CFastExfatRecovery::OpenShared(const SharedSource& source) {
  if (open_) return 0;
  auto reader = std::make_unique<SectorReader>();
  reader->Share(*source.reader);
  if (source.image) return OpenReader(std::move(reader), 0, source.driveLetter);
  return OpenPartition(std::move(reader), source.startSector, source.sectorCount, source.driveLetter);
}

int CFastExfatRecovery::OpenSource(std::unique_ptr<platform::RawSource> source, char16_t driveLetter) {
  if (open_) return 0;
  auto reader = std::make_unique<SectorReader>();
  if (int rc = reader->AttachWhole(std::move(source)); rc != 0) return openError_ = rc;
  return OpenReader(std::move(reader), 0, driveLetter);
}

uint64_t CFastExfatRecovery::SourceSectors() const {
  return reader_->TotalSectors() * uint64_t(reader_->DeviceSectorSize()) / sectorSize_;
}

int CFastExfatRecovery::ReadSectors(uint8_t* buffer, uint32_t count, uint64_t sector, uint32_t& got) {
  got = 0;
  if (!reader_) return kInvalidParameter;
  return reader_->ReadSectors(buffer, count, sector, int(sectorSize_), got);
}

uint64_t CFastExfatRecovery::ClusterSector(uint32_t cluster) const {
  return partitionStart_ + heapOffset_ + uint64_t(cluster - ExfatBootSector::kFirstCluster) * sectorsPerCluster_;
}

int CFastExfatRecovery::OpenReader(std::unique_ptr<SectorReader> reader, uint64_t start, char16_t letter) {
  reader_ = std::move(reader);
  driveLetter_ = letter;
  const uint64_t startByte = start * uint64_t(reader_->DeviceSectorSize());
  sectorSize_ = uint32_t(reader_->DeviceSectorSize());
  partitionStart_ = start;
  int rc = ReadBoot();
  if (rc == 0 && startByte % sectorSize_ != 0) rc = kInvalidParameter;
  if (rc != 0) {
    reader_.reset();
    return openError_ = rc;
  }
  partitionStart_ = startByte / sectorSize_;
  const uint64_t available = SourceSectors() > partitionStart_ ? SourceSectors() - partitionStart_ : 0;
  volumeSectors_ = std::min(volumeSectors_, available);
  // Clusters past the end of the volume cannot be read: a boot sector that claims more (hostile,
  // or an image cut short) must not let chains and bitmaps run there.
  const uint64_t heapSectors = volumeSectors_ > heapOffset_ ? volumeSectors_ - heapOffset_ : 0;
  clusterCount_ = uint32_t(std::min<uint64_t>(clusterCount_, heapSectors / sectorsPerCluster_));
  open_ = true;
  ReadVolumeFiles();  // without them every cluster counts as in use and names are hashed by default
  return openError_ = 0;
}

int CFastExfatRecovery::ReadBoot() {
  // The boot sector itself is read in the device's sectors first: its own size comes from it.
  const uint64_t startByte = partitionStart_ * sectorSize_;
  std::vector<uint8_t> region(size_t(ExfatBootSector::kBootRegionSectors) * 2 * kMaxSectorSize, 0);
  const uint64_t sourceBytes = reader_->TotalSectors() * uint64_t(reader_->DeviceSectorSize());
  const uint64_t left = sourceBytes > startByte ? (sourceBytes - startByte) / 512 : 0;
  uint32_t got = 0;
  int rc = reader_->ReadSectors(region.data(), uint32_t(std::min<uint64_t>(region.size() / 512, left)),
                                startByte / 512, 512, got);
  const size_t have = size_t(got) * 512;
  if (have < 512) {
    rc = rc != 0 ? rc : kReadFault;
    platform::NoteFailedStructure(rc, "the exFAT boot region", startByte / 512);
    return rc;
  }
  // The main boot region, or its backup where the main one is damaged.
  for (int copy = 0; copy < 2; ++copy) {
    for (uint32_t ss = 512; ss <= kMaxSectorSize; ss *= 2) {
      const size_t offset = size_t(copy) * ExfatBootSector::kBootRegionSectors * ss;
      const ByteView bytes = ByteView(region.data(), have).Sub(offset, size_t(ExfatBootSector::kBootRegionSectors) * ss);
      const ExfatBootSector boot(bytes);
      if (!boot.IsExfat() || boot.BytesPerSector() != ss) continue;
      // A main region whose checksum fails gives way to a backup whose checksum holds.
      if (copy == 0 && !ExfatBootSector::RegionChecksumMatches(bytes, ss) &&
          ExfatBootSector::RegionChecksumMatches(
              ByteView(region.data(), have).Sub(offset + ExfatBootSector::kBootRegionSectors * ss,
                                                ExfatBootSector::kBootRegionSectors * ss), ss))
        continue;
      sectorSize_ = ss;
      sectorsPerCluster_ = boot.SectorsPerCluster();
      clusterBytes_ = boot.BytesPerCluster();
      heapOffset_ = boot.ClusterHeapOffset();
      clusterCount_ = boot.ClusterCount();
      rootCluster_ = boot.RootCluster();
      rootId_ = rootCluster_;
      volumeSectors_ = boot.VolumeLength();
      const uint32_t fat = boot.FatOffset() + (boot.SecondFatActive() && boot.NumberOfFats() == 2 ? boot.FatLength() : 0);
      const uint64_t fatStart = startByte / ss + fat;
      table_.Load(reader_.get(), fatStart, ss, std::min<uint64_t>(boot.FatLength(), SourceSectors() > fatStart ? SourceSectors() - fatStart : 0),
                  boot.ClusterCount());
      return 0;
    }
  }
  return kInvalidParameter;
}

int CFastExfatRecovery::ReadClusters(const std::vector<ExfatRun>& runs, uint64_t maxBytes,
                                     std::vector<uint8_t>& out) {
  out.clear();
  int result = 0;
  for (const ExfatRun& run : runs) {
    for (uint32_t i = 0; i < run.clusterCount && out.size() < maxBytes; ++i) {
      const size_t at = out.size();
      out.resize(at + clusterBytes_);
      uint32_t got = 0;
      const int rc = ReadSectors(out.data() + at, sectorsPerCluster_, ClusterSector(run.firstCluster + i), got);
      // An unreadable cluster reads as zeros (no entries), so what follows it is still found.
      if (rc != 0) result = rc;
    }
  }
  if (out.size() > maxBytes) out.resize(size_t(maxBytes));
  return result;
}

int CFastExfatRecovery::ReadVolumeFiles() {
  std::vector<ExfatRun> runs;
  table_.Chain(rootCluster_, kMaxDirectoryBytes / clusterBytes_, runs);
  std::vector<uint8_t> root;
  ReadClusters(runs, kMaxDirectoryBytes, root);
  const ByteView view(root.data(), root.size());
  bool haveBitmap = false;
  for (size_t at = 0; view.Has(at, ExfatDirectoryEntry::kSize); at += ExfatDirectoryEntry::kSize) {
    const ExfatDirectoryEntry entry(view.Sub(at, ExfatDirectoryEntry::kSize));
    if (entry.IsEndOfDirectory()) break;
    if (!entry.InUse()) continue;
    std::vector<uint8_t> data;
    // A bitmap needs a bit per cluster, an up-case table two bytes per character at most.
    const uint64_t most = entry.Type() == ExfatDirectoryEntry::kBitmap ? (uint64_t(clusterCount_) + 7) / 8 : 0x20000;
    const uint64_t length = std::min<uint64_t>(entry.DataLength(), most);
    auto readData = [&] {
      std::vector<ExfatRun> dataRuns;
      table_.Chain(entry.FirstCluster(), (length + clusterBytes_ - 1) / clusterBytes_, dataRuns);
      ReadClusters(dataRuns, length, data);
    };
    if (entry.Type() == ExfatDirectoryEntry::kBitmap && !haveBitmap) {
      readData();
      allocation_.Assign(ByteView(data.data(), data.size()), clusterCount_);
      haveBitmap = true;
    } else if (entry.Type() == ExfatDirectoryEntry::kUpcase) {
      readData();
      const ExfatUpcaseEntry upcase(entry.Bytes());
      const ByteView table(data.data(), data.size());
      if (ExfatUpcaseTable::Checksum(table) == upcase.TableChecksum()) upcase_.Load(table);
    } else if (entry.Type() == ExfatDirectoryEntry::kLabel) {
      label_ = ExfatLabelEntry(entry.Bytes()).Label();
    }
  }
  if (!haveBitmap) allocation_.Assign(ByteView(), clusterCount_);
  bitmapRead_ = haveBitmap;
  claimed_ = allocation_;
  return haveBitmap ? 0 : kReadFault;
}

int CFastExfatRecovery::BuildUsageBitmap() {
  if (!open_ || !bitmapRead_) return 1;
  usage_.Assign(allocation_.Bytes());
  return 0;
}

int CFastExfatRecovery::NextUnusedRange(uint64_t& startSector, uint64_t& lengthSectors) {
  return usage_.NextUnusedRange(startSector, lengthSectors, volumeSectors_, heapOffset_, sectorsPerCluster_);
}

}  // namespace salvora
