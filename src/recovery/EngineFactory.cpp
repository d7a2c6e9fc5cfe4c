#include "recovery/EngineFactory.h"

#include <functional>
#include <vector>

#include <algorithm>

#include "platform/FailureContext.h"
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
bool ReadProbe(platform::RawSource& source, uint64_t offset, std::vector<uint8_t>& probe,
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

LoggedEngine EngineFactory::CreateFastOn(const ProbeResult& probe, const SharedSource& source) {
  if (probe.error != 0) return {};
  LoggedEngine made = CreateFast(probe.engine);
  if (!made.engine) return made;
  if (IOpensShared* shared = made.engine->Faces().shared) {
    shared->OpenShared(source);
  } else if (source.image) {
    made.engine->OpenImageFile(source.imagePath, source.driveLetter);
  } else {
    made.engine->OpenDiskPartition(source.diskNumber, source.startSector, source.sectorCount, source.driveLetter);
  }
  return made;
}

MadeEngine EngineFactory::MakeAdvanced(const std::function<void(IFileRecoveryParse&)>& open) {
  auto advanced = std::make_unique<CProfessionalRecovery>();
  open(*advanced);
  MadeEngine made{nullptr, advanced->SourceProbe()};
  if (made.probe.error == 0) made.engine = std::move(advanced);
  return made;
}

void EngineFactory::FlushBeforeReading(int diskNumber, uint64_t startSector) {
  std::string path;
  if (platform::DiskDevicePath(diskNumber, path) == 0) platform::FlushPartition(path, startSector);
}

ProbeResult EngineFactory::ProbeReader(SectorReader& reader, uint64_t startSector, uint64_t sectorCount) {
  ProbeResult result;
  platform::RawSource* source = reader.Source();
  if (!source) {
    result.error = kInvalidParameter;
    return result;
  }
  result.sectorSize = reader.DeviceSectorSize();
  std::vector<uint8_t> probe;
  if (startSector > UINT64_MAX / uint64_t(result.sectorSize)) {
    result.error = kInvalidParameter;
    return result;
  }
  const uint64_t startByte = startSector * uint64_t(result.sectorSize);
  if (!ReadProbe(*source, startByte, probe, result)) {
    platform::NoteFailedStructure(result.error, "the start of the volume", startSector);
    return result;
  }
  int error = 0;
  const uint64_t sourceBytes = uint64_t(std::max(0LL, source->ByteLength(&error)));
  const uint64_t volumeBytes = sectorCount != 0 ? sectorCount * uint64_t(result.sectorSize)
                               : sourceBytes > startByte ? sourceBytes - startByte : 0;
  ClassifyVolume(ByteView(probe.data(), probe.size()), *source, startByte, volumeBytes, result);
  return result;
}

ProbeResult EngineFactory::ProbeDisk(int diskNumber, uint64_t startSector, uint64_t sectorCount) {
  SectorReader reader;
  ProbeResult result;
  if ((result.error = reader.OpenDisk(diskNumber)) != 0) return result;
  FlushBeforeReading(diskNumber, startSector);
  return ProbeReader(reader, startSector, sectorCount);
}

ProbeResult EngineFactory::ProbeImage(const std::string& path) {
  SectorReader reader;
  ProbeResult result;
  if ((result.error = reader.OpenFile(path)) != 0) return result;
  return ProbeReader(reader, 0, 0);
}

MadeEngine EngineFactory::MakeForDisk(int diskNumber, uint64_t startSector, uint64_t sectorCount,
                                      char16_t driveLetter, bool advanced) {
  if (advanced)
    return MakeAdvanced([&](IFileRecoveryParse& engine) {
      engine.OpenDiskPartition(diskNumber, startSector, sectorCount, driveLetter);
    });
  SectorReader reader;
  MadeEngine made;
  if ((made.probe.error = reader.OpenDisk(diskNumber)) != 0) return made;
  FlushBeforeReading(diskNumber, startSector);
  made.probe = ProbeReader(reader, startSector, sectorCount);
  const SharedSource source{&reader, false, diskNumber, startSector, sectorCount, reader.DeviceSectorSize(),
                            driveLetter, {}};
  made.engine = CreateFastOn(made.probe, source).engine;
  return made;
}

MadeEngine EngineFactory::MakeForImage(const std::string& path, char16_t driveLetter, bool advanced) {
  if (advanced)
    return MakeAdvanced([&](IFileRecoveryParse& engine) { engine.OpenImageFile(path, driveLetter); });
  SectorReader reader;
  MadeEngine made;
  if ((made.probe.error = reader.OpenFile(path)) != 0) return made;
  made.probe = ProbeReader(reader, 0, 0);
  made.engine = CreateFastOn(made.probe, SharedSource{&reader, true, -1, 0, 0, 512, driveLetter, path}).engine;
  return made;
}

std::unique_ptr<IFileRecoveryParse> EngineFactory::CreateForDisk(int diskNumber, uint64_t startSector,
                                                                 uint64_t sectorCount,
                                                                 char16_t driveLetter, bool advanced) {
  return MakeForDisk(diskNumber, startSector, sectorCount, driveLetter, advanced).engine;
}

std::unique_ptr<IFileRecoveryParse> EngineFactory::CreateForImage(const std::string& path,
                                                                  char16_t driveLetter, bool advanced) {
  return MakeForImage(path, driveLetter, advanced).engine;
}

}  // namespace salvora
