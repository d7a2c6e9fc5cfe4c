#include "recovery/EngineFactory.h"

#include <functional>
#include <vector>

#include <algorithm>

#include "platform/DiskMap.h"
#include "platform/RawSource.h"
#include "platform/SalvagingRead.h"
#include "platform/VolumeFlush.h"
#include "recovery/CProfessionalRecovery.h"

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
  if (kind != SourceKind::Unknown && kind != SourceKind::Other)
    for (const EngineEntry* entry : Engines())
      if (entry->kind == kind) return entry->title;
  return "unknown";
}

const char* SourceKindName(const ProbeResult& probe) {
  return probe.engine && probe.engine->title ? probe.engine->title : SourceKindName(probe.kind);
}

EngineFactory& EngineFactory::Instance() {
  static EngineFactory factory;
  return factory;
}

SourceKind EngineFactory::Classify(ByteView probe) {
  for (const EngineEntry* entry : Engines())
    if (entry->recognises && entry->recognises(probe)) return entry->kind;
  return SourceKind::Unknown;
}

namespace {

const EngineEntry* EntryOf(SourceKind kind) {
  if (kind == SourceKind::Unknown) return nullptr;
  for (const EngineEntry* entry : Engines())
    if (entry->kind == kind) return entry;
  return nullptr;
}

// The primary boot structure, as the first entry that recognises it decides.
bool ClassifyPrimary(const ProbeInput& input, ProbeResult& result) {
  for (const EngineEntry* entry : Engines()) {
    if (!entry->recognises || !entry->recognises(input.probe)) continue;
    result.kind = entry->kind;
    result.engine = entry;
    result.boot = BootCopy::kPrimary;
    if (entry->settle) entry->settle(input, result);
    return true;
  }
  return false;
}

// A damaged primary: the copies in the probe area first, then those read from the source.
bool ClassifyCopy(const ProbeInput& input, ProbeResult& result) {
  const auto entries = Engines();
  for (const EngineEntry* entry : entries)
    if (entry->copyInProbe && entry->copyInProbe(input, result)) return true;
  for (const EngineEntry* entry : entries)
    if (entry->copyOnSource && entry->copyOnSource(input, result)) return true;
  return false;
}

}  // namespace

void EngineFactory::ClassifyVolume(ByteView probe, platform::RawSource& source, uint64_t startByte,
                                   uint64_t volumeBytes, ProbeResult& result) {
  const ProbeInput input{probe, &source, startByte, volumeBytes, result.sectorSize};
  result.kind = SourceKind::Unknown;
  result.boot = BootCopy::kNone;
  if (!ClassifyPrimary(input, result)) ClassifyCopy(input, result);
  // A registered entry reports Other: its entry says which it is.
  if (result.kind != SourceKind::Other) result.engine = EntryOf(result.kind);
}

// The creation table. Engines not built yet give no engine.
LoggedEngine EngineFactory::CreateFast(const EngineEntry* entry) {
  if (!entry || !entry->makeFast) return {};
  std::unique_ptr<IFileRecoveryParse> engine = entry->makeFast();
  IScanLog* log = engine->Faces().log;
  return {std::move(engine), log, entry};
}

LoggedEngine EngineFactory::CreateOpened(const ProbeResult& probe, bool advanced,
                                       const std::function<void(IFileRecoveryParse&)>& open) {
  if (probe.error != 0) return {};
  LoggedEngine made = advanced ? LoggedEngine{std::make_unique<CProfessionalRecovery>(), nullptr}
                             : CreateFast(probe.engine);
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
