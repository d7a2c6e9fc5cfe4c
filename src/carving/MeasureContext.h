#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "carving/FreeSpaceStream.h"
#include "carving/StructureWalk.h"
#include "scan/EngineTypes.h"
#include "storage/SectorReader.h"

namespace salvora {

// Sector range (first and last sector, inclusive) of a transport stream measured in this scan.
struct TransportStreamExtent {
  uint64_t first = 0;
  uint64_t last = 0;
};

// The signature scanner's process-wide state: where the candidate file starts, which sector a
// tester is looking at, the source to read further sectors from, the progress snapshot handed on
// to progress reports, and the few flags that live across calls. One scan at a time uses it, from
// one thread, without a lock.
struct MeasureContext {
  static constexpr size_t kWorkBufferBytes = 65536;

  static MeasureContext& Instance();

  int sectorSize = 512;
  SectorReader* reader = nullptr;
  uint64_t startSector = 0;
  uint64_t sectorUnderTest = 0;
  // The volume's free clusters when its map is known: the structure walks read the candidate in
  // this stream, the allocated clusters skipped. nullptr: the sectors as they follow.
  const FreeSpaceStream* freeSpace = nullptr;

  // Progress snapshot of the sweep that asked for the measurement.
  uint64_t processed = 0;
  uint64_t total = 0;
  int remainingSeconds = 0;
  uint64_t foundCount = 0;

  // Set through the file-type engine's SetScanCallbacks.
  ScanProgressCallback scanCallback = nullptr;
  RecoveryProgressCallback recoveryCallback = nullptr;
  void* callbackContext = nullptr;
  int mode = 0;
  // What the scan-progress callback answered last during a measurement.
  int lastCallbackAnswer = 0;
  // What the structure walk of the last measurement found (NoStructure when none ran): the
  // carved file's content verdict comes from it. A stronger check (a decoder) may replace it.
  WalkResult lastWalk;

  bool strictTransportStream = false;
  bool bdavInProgress = false;
  std::vector<TransportStreamExtent> TransportStreamExtents;

  // Reads count sectors of the context's sector size at an absolute sector address. True only when
  // every sector arrived; false without a reader, on a read error, or for a count of 0.
  bool ReadSectors(void* buffer, uint32_t count, uint64_t firstSector) const;

  // The 64 KiB buffer the size rules read ahead into; nullptr while no WorkBufferLease exists.
  uint8_t* WorkBuffer() { return workBuffer_.empty() ? nullptr : workBuffer_.data(); }

 private:
  friend class WorkBufferLease;
  std::vector<uint8_t> workBuffer_;
  int workBufferUsers_ = 0;
};

// Keeps the work buffer allocated while it lives. Engines that use the scanner hold one as a
// member; the buffer is freed when the last lease goes.
class WorkBufferLease {
 public:
  WorkBufferLease();
  ~WorkBufferLease();
  WorkBufferLease(const WorkBufferLease&) = delete;
  WorkBufferLease& operator=(const WorkBufferLease&) = delete;
};

}  // namespace salvora
