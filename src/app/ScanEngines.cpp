#include "app/ScanEngines.h"

#include "app/DiskRow.h"
#include "recovery/SavedScan.h"
#include "recovery/EngineFactory.h"

namespace salvora::app {

ScanEngines ScanEngines::Defaults() {
  ScanEngines engines;
  engines.create = [](const DiskRow& row, int mode) -> std::unique_ptr<IFileRecoveryParse> {
    EngineFactory& factory = EngineFactory::Instance();
    if (row.kind == DiskRow::kImage) return factory.CreateForImage(row.imagePath, row.Letter(), mode == 1);
    return factory.CreateForDisk(static_cast<int>(row.entry.diskNumber), row.entry.start, row.entry.length,
                                 row.Letter(), mode == 1);
  };
  // The main window always asks for the advanced scan; only it keeps a saved scan to resume.
  engines.engineMode = 1;
  engines.hasSavedScan = [](IFileRecoveryParse& engine) { return SavedScanOf(engine).resumable; };
  engines.discardSavedScan = [](IFileRecoveryParse& engine) { DiscardSavedScan(engine); };
  return engines;
}

ScanEngines& ScanEngines::Current() {
  static ScanEngines engines = Defaults();
  return engines;
}

}  // namespace salvora::app
