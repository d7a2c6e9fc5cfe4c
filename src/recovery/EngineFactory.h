#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/ByteView.h"
#include "platform/RawSource.h"
#include "scan/BootCopy.h"
#include "scan/IFileRecoveryParse.h"
#include "scan/IScanLog.h"
#include "recovery/EngineTable.h"

namespace salvora {

const char* SourceKindName(SourceKind kind);

// The result of probing a source, for callers that want to know what was recognised.
struct ProbeResult {
  int error = 0;            // 0, or why the probe read failed
  SourceKind kind = SourceKind::Unknown;
  const EngineEntry* engine = nullptr;  // the table's entry for kind; nullptr for Unknown
  int sectorSize = 512;     // of the disk (images: 512)
  size_t unreadableBytes = 0;  // of the probe area, read as zeros (bad sectors)
  // The boot sector the engines will work from. kBackup: the primary is damaged and bootOffset
  // gives the copy's byte offset in the volume. kDoesNotFit: a FAT boot sector describes a volume
  // the source cannot hold; kind is then Unknown, so that the advanced scan sweeps it all.
  BootCopy boot = BootCopy::kNone;
  uint64_t bootOffset = 0;
};

// "NTFS", "FAT" (a registered file system's title); "unknown".
const char* SourceKindName(const ProbeResult& probe);

// A file-system engine as the advanced scan holds it: the engine, and its scan log for the
// checkpoints (nullptr when the engine keeps none).
struct LoggedEngine {
  std::unique_ptr<IFileRecoveryParse> engine;
  IScanLog* log = nullptr;
  const EngineEntry* entry = nullptr;  // the table's entry it was made from
};

// An engine with the probe that chose it (the command line warns of a backup boot copy).
struct MadeEngine {
  std::unique_ptr<IFileRecoveryParse> engine;
  ProbeResult probe;
};

// Picks and opens the engine for a source: the source is opened once, probed, and handed to the
// engine (an advanced scan opens and probes it itself). Process-wide; engines it returns belong to the caller.
class EngineFactory {
 public:
  static constexpr size_t kProbeBytes = 16384;

  static EngineFactory& Instance();

  std::unique_ptr<IFileRecoveryParse> CreateForDisk(int diskNumber, uint64_t startSector,
                                                    uint64_t sectorCount, char16_t driveLetter,
                                                    bool advanced);
  std::unique_ptr<IFileRecoveryParse> CreateForImage(const std::string& path, char16_t driveLetter,
                                                     bool advanced);

  MadeEngine MakeForDisk(int diskNumber, uint64_t startSector, uint64_t sectorCount, char16_t driveLetter,
                         bool advanced);
  MadeEngine MakeForImage(const std::string& path, char16_t driveLetter, bool advanced);

  // The fast engine the probe chose, with its log, opened on the caller's source; none when the
  // probe failed or chose no engine.
  static LoggedEngine CreateFastOn(const ProbeResult& probe, const SharedSource& source);
  // Probes a source already open: the volume at startSector of sectorCount sectors (0: to the end)
  // in the reader's own sectors.
  static ProbeResult ProbeReader(SectorReader& reader, uint64_t startSector, uint64_t sectorCount);
  // A mounted volume's cached writes reach the disk before it is read raw.
  static void FlushBeforeReading(int diskNumber, uint64_t startSector);

  // Reads and classifies the probe area without creating an engine. sectorCount 0: the volume
  // runs to the end of the disk.
  ProbeResult ProbeDisk(int diskNumber, uint64_t startSector, uint64_t sectorCount = 0);
  ProbeResult ProbeImage(const std::string& path);

  // The first entry of the engine table that recognises the probe area; Unknown for none.
  static SourceKind Classify(ByteView probe);
  // As Classify, for a volume of volumeBytes at startByte of source: a FAT boot sector must
  // describe a volume that fits, and a damaged primary boot sector gives way to a backup copy.
  static void ClassifyVolume(ByteView probe, platform::RawSource& source, uint64_t startByte,
                             uint64_t volumeBytes, ProbeResult& result);

 private:
  EngineFactory() = default;
  static LoggedEngine CreateFast(const EngineEntry* entry);
  // The advanced scan, opened by open; none when its probe of the source failed.
  static MadeEngine MakeAdvanced(const std::function<void(IFileRecoveryParse&)>& open);
};

}  // namespace salvora
