#include "recovery/EngineFactory.h"

#include <functional>
#include <vector>

#include <algorithm>

#include "exfat/CFastExfatRecovery.h"
#include "exfat/ExfatBootSector.h"
#include "fat/CFastFatRecovery.h"
#include "fat/FatBootCopy.h"
#include "fat/FatBootSector.h"
#include "ntfs/CFastNtfsRecovery.h"
#include "ntfs/NtfsBootCopy.h"
#include "ntfs/NtfsBootSector.h"
#include "platform/DiskMap.h"
#include "platform/RawSource.h"
#include "platform/SalvagingRead.h"
#include "platform/VolumeFlush.h"
#include "ext/CFastExtRecovery.h"
#include "recovery/CProfessionalRecovery.h"
#include "ext/ExtSuperblock.h"

namespace salvora {
namespace {

// Reads the probe area at offset. A stretch that cannot be read (a bad sector) stays zero and the
// read goes on after it, so a bad sector beside the boot sector does not hide the volume. False
// when the source ends inside the probe area or none of it could be read.
bool ReadProbe(platform::FileSource& source, uint64_t offset, std::vector<uint8_t>& probe,
               ProbeResult& result) {
  probe.assign(EngineFactory::kProbeBytes, 0);
  platform::SalvagedRead read = platform::ReadSalvaging(source, probe.data(), probe.size(), offset);
  result.unreadableBytes = read.unreadable;
  if (read.unreadable == probe.size()) {
    result.error = read.firstError;
    return false;
  }
  if (read.bytes < probe.size()) {
    result.error = read.firstError ? read.firstError : kReadFault;
    return false;
  }
  return true;
}

}  // namespace

const char* SourceKindName(SourceKind kind) {
  switch (kind) {
    case SourceKind::Ntfs: return "NTFS";
    case SourceKind::Fat: return "FAT";
    case SourceKind::Ext: return "ext";
    case SourceKind::Exfat: return "exFAT";
    case SourceKind::Unknown: break;
  }
  return "unknown";
}

EngineFactory& EngineFactory::Instance() {
  static EngineFactory factory;
  return factory;
}

SourceKind EngineFactory::Classify(ByteView probe) {
  if (IsNtfsBootSector(probe)) return SourceKind::Ntfs;
  if (IsExfatBootSector(probe)) return SourceKind::Exfat;
  if (IsFatBootSector(probe)) return SourceKind::Fat;
  if (IsExtSuperblock(probe)) return SourceKind::Ext;
  return SourceKind::Unknown;
}

void EngineFactory::ClassifyVolume(ByteView probe, platform::RawSource& source, uint64_t startByte,
                                   uint64_t volumeBytes, ProbeResult& result) {
  result.kind = Classify(probe);
  result.boot = result.kind == SourceKind::Unknown ? BootCopy::kNone : BootCopy::kPrimary;
  if (result.kind == SourceKind::Ntfs || result.kind == SourceKind::Ext || result.kind == SourceKind::Exfat) return;
  const FatBootChoice fat = ChooseFatBootSector(probe, uint32_t(result.sectorSize), volumeBytes);
  if (fat.copy != BootCopy::kNone) {
    result.boot = fat.copy;
    result.bootOffset = fat.offset;
    const bool usable = fat.copy == BootCopy::kPrimary || fat.copy == BootCopy::kBackup;
    result.kind = usable ? SourceKind::Fat : SourceKind::Unknown;
    return;
  }
  // exFAT keeps a whole second boot region right after the first (512-byte sectors: in the probe).
  const size_t exfatBackup = size_t(ExfatBootSector::kBootRegionSectors) * 512;
  const ByteView exfatRegion = probe.Sub(exfatBackup, exfatBackup);
  if (IsExfatBootSector(exfatRegion) && ExfatBootSector::RegionChecksumMatches(exfatRegion, 512)) {
    result.kind = SourceKind::Exfat;
    result.boot = BootCopy::kBackup;
    result.bootOffset = exfatBackup;
    return;
  }
  std::vector<uint8_t> backup;
  if (auto offset = ReadNtfsBackupBoot(source, startByte, startByte + volumeBytes, backup)) {
    result.kind = SourceKind::Ntfs;
    result.boot = BootCopy::kBackup;
    result.bootOffset = *offset;
  }
}

const char* EngineFactory::EngineNameFor(SourceKind kind, bool advanced) {
  if (advanced) return "CProfessionalRecovery";
  switch (kind) {
    case SourceKind::Ntfs: return "CFastNtfsRecovery";
    case SourceKind::Fat: return "CFastFatRecovery";
    case SourceKind::Ext: return "CFastExtRecovery";
    case SourceKind::Exfat: return "CFastExfatRecovery";
    case SourceKind::Unknown: break;
  }
  return nullptr;
}

namespace {

// An engine with a scan log, held by both of its faces.
template <class Engine>
LoggedEngine WithLog() {
  auto engine = std::make_unique<Engine>();
  IScanLog* log = engine.get();
  return {std::move(engine), log};
}

}  // namespace

// The creation table. Engines not built yet give no engine.
LoggedEngine EngineFactory::CreateFast(SourceKind kind) {
  switch (kind) {
    case SourceKind::Ext: return {std::make_unique<CFastExtRecovery>(), nullptr};
    case SourceKind::Fat: return WithLog<CFastFatRecovery>();
    case SourceKind::Ntfs: return WithLog<CFastNtfsRecovery>();
    case SourceKind::Exfat: return WithLog<CFastExfatRecovery>();
    case SourceKind::Unknown: break;
  }
  return {};
}

LoggedEngine EngineFactory::CreateOpened(const ProbeResult& probe, bool advanced,
                                       const std::function<void(IFileRecoveryParse&)>& open) {
  if (probe.error != 0) return {};
  LoggedEngine made = advanced ? LoggedEngine{std::make_unique<CProfessionalRecovery>(), nullptr}
                             : CreateFast(probe.kind);
  if (made.engine) open(*made.engine);
  return made;
}

ProbeResult EngineFactory::ProbeDisk(int diskNumber, uint64_t startSector, uint64_t sectorCount) {
  ProbeResult result;
  std::string path;
  if ((result.error = platform::DiskDevicePath(diskNumber, path)) != 0) return result;
  platform::FileSource source;
  if ((result.error = source.Open(path)) != 0) return result;
  platform::FlushPartition(path, startSector);
  platform::DiskGeometry geometry;
  if (source.QueryGeometry(geometry) == 0) result.sectorSize = int(geometry.bytesPerSector);
  std::vector<uint8_t> probe;
  if (startSector > UINT64_MAX / uint64_t(result.sectorSize)) {
    result.error = kInvalidParameter;
    return result;
  }
  const uint64_t startByte = startSector * uint64_t(result.sectorSize);
  if (!ReadProbe(source, startByte, probe, result)) return result;
  int error = 0;
  const uint64_t diskBytes = uint64_t(std::max(0LL, source.ByteLength(&error)));
  const uint64_t volumeBytes = sectorCount != 0 ? sectorCount * uint64_t(result.sectorSize)
                               : diskBytes > startByte ? diskBytes - startByte : 0;
  ClassifyVolume(ByteView(probe.data(), probe.size()), source, startByte, volumeBytes, result);
  return result;
}

ProbeResult EngineFactory::ProbeImage(const std::string& path) {
  ProbeResult result;
  platform::FileSource source;
  if ((result.error = source.Open(path)) != 0) return result;
  std::vector<uint8_t> probe;
  if (!ReadProbe(source, 0, probe, result)) return result;
  int error = 0;
  const uint64_t bytes = uint64_t(std::max(0LL, source.ByteLength(&error)));
  ClassifyVolume(ByteView(probe.data(), probe.size()), source, 0, bytes, result);
  return result;
}

std::unique_ptr<IFileRecoveryParse> EngineFactory::CreateForDisk(int diskNumber, uint64_t startSector,
                                                                 uint64_t sectorCount,
                                                                 char16_t driveLetter, bool advanced) {
  return CreateOpened(ProbeDisk(diskNumber, startSector, sectorCount), advanced, [&](IFileRecoveryParse& engine) {
           engine.OpenDiskPartition(diskNumber, startSector, sectorCount, driveLetter);
         }).engine;
}

std::unique_ptr<IFileRecoveryParse> EngineFactory::CreateForImage(const std::string& path,
                                                                  char16_t driveLetter, bool advanced) {
  return CreateOpened(ProbeImage(path), advanced,
                      [&](IFileRecoveryParse& engine) { engine.OpenImageFile(path, driveLetter); })
      .engine;
}

LoggedEngine EngineFactory::CreateFastForDisk(int diskNumber, uint64_t startSector,
                                            uint64_t sectorCount, char16_t driveLetter) {
  return CreateOpened(ProbeDisk(diskNumber, startSector, sectorCount), false, [&](IFileRecoveryParse& engine) {
    engine.OpenDiskPartition(diskNumber, startSector, sectorCount, driveLetter);
  });
}

LoggedEngine EngineFactory::CreateFastForImage(const std::string& path, char16_t driveLetter) {
  return CreateOpened(ProbeImage(path), false,
                      [&](IFileRecoveryParse& engine) { engine.OpenImageFile(path, driveLetter); });
}

}  // namespace salvora
