#include "fat/CFastFatRecovery.h"

#include <algorithm>

#include "fat/FatBootCopy.h"
#include "fat/FatBootSector.h"
#include "fatdir/FatDirEntry.h"
#include "platform/FailureContext.h"
#include "platform/ErrorCodes.h"

namespace salvora {

CFastFatRecovery::CFastFatRecovery() {
  faces_.log = this;
  faces_.volume = this;
  faces_.shared = this;
}

VolumeFacts CFastFatRecovery::Volume() const {
  return {open_, geometry_.sectorSize, geometry_.ClusterBytes(), geometry_.dataStart};
}
CFastFatRecovery::~CFastFatRecovery() = default;

int CFastFatRecovery::OpenImageFile(const std::string& path, char16_t driveLetter) {
  if (open_) return 0;
  auto reader = std::make_unique<SectorReader>();
  if (int rc = reader->OpenFile(path); rc != 0) return openError_ = rc;
  return OpenReader(std::move(reader), 0, 0, driveLetter, true);
}

int CFastFatRecovery::OpenDiskPartition(int diskNumber, uint64_t startSector, uint64_t sectorCount,
                                        char16_t driveLetter) {
  if (open_) return 0;
  auto reader = std::make_unique<SectorReader>();
  if (int rc = reader->OpenDisk(diskNumber); rc != 0) return openError_ = rc;
  return OpenReader(std::move(reader), startSector, sectorCount, driveLetter, sectorCount == 0);
}

int CFastFatRecovery::OpenSource(std::unique_ptr<platform::RawSource> source, char16_t driveLetter) {
  if (open_) return 0;
  auto reader = std::make_unique<SectorReader>();
  if (int rc = reader->AttachWhole(std::move(source)); rc != 0) return openError_ = rc;
  return OpenReader(std::move(reader), 0, 0, driveLetter, true);
}

int CFastFatRecovery::OpenShared(const SharedSource& source) {
  if (open_) return 0;
  auto reader = std::make_unique<SectorReader>();
  reader->Share(*source.reader);
  if (source.image) return OpenReader(std::move(reader), 0, 0, source.driveLetter, true);
  return OpenReader(std::move(reader), source.startSector, source.sectorCount, source.driveLetter,
                    source.sectorCount == 0);
}

uint64_t CFastFatRecovery::SourceSectors() const {
  const uint64_t bytes = reader_->TotalSectors() * uint64_t(reader_->DeviceSectorSize());
  return bytes / geometry_.sectorSize;
}

int CFastFatRecovery::OpenReader(std::unique_ptr<SectorReader> reader, uint64_t start, uint64_t count,
                                 char16_t letter, bool countFromSource) {
  reader_ = std::move(reader);
  partitionStart_ = start;
  driveLetter_ = letter;
  geometry_.sectorSize = uint32_t(reader_->DeviceSectorSize());
  const uint64_t sourceBytes = SourceSectors() * geometry_.sectorSize;
  const uint64_t startByte = start * geometry_.sectorSize;
  const uint64_t volumeBytes = countFromSource ? (sourceBytes > startByte ? sourceBytes - startByte : 0)
                                               : count * geometry_.sectorSize;
  if (int rc = ReadBootAndGeometry(volumeBytes); rc != 0) {
    reader_.reset();
    return openError_ = rc;
  }
  const uint64_t available = SourceSectors() > start ? SourceSectors() - start : 0;
  partitionSectors_ = countFromSource ? available : count;
  // Clusters past the end of the volume cannot be read, nor can clusters whose numbers do not fit
  // in a table entry: a boot sector that claims more (hostile, or an image cut short) must not
  // size the usage map or let chains run there.
  const uint64_t dataSectors = partitionSectors_ > geometry_.dataStart ? partitionSectors_ - geometry_.dataStart : 0;
  const uint64_t addressable = geometry_.fat32 ? kMaxFat32Cluster - 1 : kMaxFat16Cluster - 1;
  geometry_.clusterCount = uint32_t(std::min<uint64_t>(
      {geometry_.clusterCount, dataSectors / geometry_.sectorsPerCluster, addressable}));
  // The first table window, clipped to the first table and to what the source holds: past them
  // lie the second table and the root folder, never entries.
  const uint64_t tableStart = partitionStart_ + geometry_.reservedSectors;
  const uint64_t readable = std::min<uint64_t>(
      SourceSectors() > tableStart ? SourceSectors() - tableStart : 0, geometry_.fatSectors);
  // The second table, where there is one, stands in for unreadable sectors of the first.
  const uint64_t mirrorStart = tableStart + geometry_.fatSectors;
  const bool mirrored = FatBootSector(ByteView(boot_.data(), boot_.size())).NumberOfFats() >= 2;
  table_.SetMirror(mirrorStart, mirrored ? std::min<uint64_t>(SourceSectors() > mirrorStart
                                                                  ? SourceSectors() - mirrorStart
                                                                  : 0,
                                                              geometry_.fatSectors)
                                         : 0);
  table_.Load(reader_.get(), tableStart, geometry_.sectorSize, geometry_.entryBits, readable,
              geometry_.MaxCluster());
  open_ = true;
  return openError_ = 0;
}

int CFastFatRecovery::ReadBootAndGeometry(uint64_t volumeBytes) {
  const uint32_t deviceSector = geometry_.sectorSize ? geometry_.sectorSize : 512;
  const uint32_t count = std::max<uint32_t>(1, kBootBytes / deviceSector);
  boot_.assign(size_t(count) * deviceSector, 0);
  uint32_t got = 0;
  int rc = reader_->ReadSectors(boot_.data(), count, partitionStart_, int(deviceSector), got);
  // Only the boot sector itself is needed: a bad sector in the reserved area or the table behind
  // it must not make the whole volume unreadable (the rest of the buffer stays zero).
  if (rc == kInvalidParameter || size_t(got) * deviceSector < 512) {
    rc = rc != 0 ? rc : kReadFault;
    platform::NoteFailedStructure(rc, "the FAT boot sector", partitionStart_);
    return rc;
  }
  boot_.resize(kBootBytes);
  const FatBootChoice choice = ChooseFatBootSector(ByteView(boot_.data(), boot_.size()), deviceSector, volumeBytes);
  // Without a copy that fits, the primary is read as it stands.
  if (choice.copy == BootCopy::kBackup) boot_.erase(boot_.begin(), boot_.begin() + ptrdiff_t(choice.offset));
  auto geometry = FatGeometry::FromBootSector(ByteView(boot_.data(), boot_.size()));
  if (!geometry) return kInvalidParameter;
  geometry_ = *geometry;
  rootId_ = RootId();
  return 0;
}

int CFastFatRecovery::ReadSectors(uint8_t* buffer, uint32_t count, uint64_t sector, uint32_t& got) {
  got = 0;
  if (!reader_) return kInvalidParameter;
  return reader_->ReadSectors(buffer, count, sector, int(geometry_.sectorSize), got);
}

uint64_t CFastFatRecovery::ClusterSector(uint32_t c) const {
  if (c == 0 && !geometry_.fat32) return partitionStart_ + geometry_.RootStart();
  if (c < 2) return UINT64_MAX;
  return partitionStart_ + geometry_.dataStart + uint64_t(c - 2) * geometry_.sectorsPerCluster;
}

int CFastFatRecovery::BuildUsageBitmap() {
  if (!open_) return 1;
  bitmap_.Build(table_, geometry_.clusterCount);
  return 0;
}

int CFastFatRecovery::NextUnusedRange(uint64_t& startSector, uint64_t& lengthSectors) {
  return bitmap_.NextUnusedRange(startSector, lengthSectors, partitionSectors_, geometry_.dataStart,
                                 geometry_.sectorsPerCluster);
}

}  // namespace salvora
