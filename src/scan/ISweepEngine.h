#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "scan/IScanLog.h"
#include "scan/SharedSource.h"
#include "storage/SectorReader.h"

namespace salvora {

// What a sector the sweep meets is to the engine that claimed it: each sweep engine owns its own
// codes (its entry in the engine table), and they are what the deep-sector log stores, so a code
// once given keeps its value. kUnclaimed is every other sector, offered to carving and never logged.
using SweptKind = uint32_t;
inline constexpr SweptKind kUnclaimed = 0;

// One sector offered. length counts the readable bytes from bytes on (at least one sector), so an
// engine whose structure spans sectors can see whether they are in memory.
struct SweptSector {
  SweptKind kind = kUnclaimed;
  const uint8_t* bytes = nullptr;
  size_t length = 0;
  uint64_t address = 0;  // absolute sector on the source
};

// Where the sweep stands, for an engine that reads ahead and reports progress while it works on
// one sector (carving measures a file through reader).
struct SweepPosition {
  uint64_t processed = 0;
  uint64_t total = 0;
  int remainingSeconds = -1;
  uint64_t found = 0;
  SectorReader* reader = nullptr;
  int sectorSize = 512;
};

// Whether an absolute sector is free in the live allocation map of the volume the fast scan read,
// when the advanced scan trusts that map; empty when no map is known.
using FreeSectorTest = std::function<bool(uint64_t sector)>;

// What the advanced scan's sweep offers the engines behind it (deep FAT, NTFS, exFAT, carving):
// begin with a log, one sector of a kind at a time, finish; the log is the engine's store
// (IScanLog). The sweep, its checkpoints and its resume know the engines only through this.
// Results are the engines' codes (ErrorCodes.h); a result other than kScanCancelled does not stop
// the sweep.
class ISweepEngine : public IScanLog {
 public:
  // Reads the scan's own source from here on (never opens one of its own).
  virtual int AttachSource(const SharedSource& source) = 0;
  // Empties the engine's scan state and opens a new log (logName empty) or reopens the named log
  // of an interrupted scan.
  virtual int BeginSweep(const std::string& logName) = 0;
  // One sector of a kind this engine takes (others are answered with 0 and left alone). skip
  // arrives as 1; an engine that consumed more sectors sets how many the sweep moves on by.
  virtual int OfferSector(const SweptSector& sector, const SweepPosition& at, uint64_t& skip) = 0;
  // Told just before FinishSweep: where the live map says sectors are free (empty: no map), so
  // what is placed then keeps off live files' clusters. Valid until FinishSweep returns.
  virtual void KnowFreeSectors(FreeSectorTest) {}
  // Places what is left and writes it to the log.
  virtual int FinishSweep() = 0;

 protected:
  ~ISweepEngine() = default;
};

}  // namespace salvora
