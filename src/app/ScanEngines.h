#pragma once

#include <functional>
#include <memory>

#include "scan/IFileRecoveryParse.h"

namespace salvora::app {

struct DiskRow;

// How the scan window gets its engines. The main window always asks for an advanced scan; until
// the advanced coordinator is in the factory, the fast engines stand in so that scanning,
// browsing and recovering work end to end. Tests replace the members with fakes.
struct ScanEngines {
  // 1: the advanced scan; 0: the fast engine of the file system.
  int engineMode = 0;
  // Opens the engine for a row; null when none can be made.
  std::function<std::unique_ptr<IFileRecoveryParse>(const DiskRow& row, int engineMode)> create;
  // Whether the engine holds an interrupted scan of its source it could resume, and dropping it.
  std::function<bool(IFileRecoveryParse& engine)> hasSavedScan;
  std::function<void(IFileRecoveryParse& engine)> discardSavedScan;

  // The process-wide settings (the factory's engines, no saved scans).
  static ScanEngines& Current();
  static ScanEngines Defaults();
};

}  // namespace salvora::app
