// The merged type search of the advanced scan: one list over the four engines, each found file
// once (see ResultSet).
#include "recovery/CProfessionalRecovery.h"
#include "scan/RecordOrder.h"

namespace salvora {

// Cluster records carry their first cluster; the others are placed by their engine's sweep
// engine, which reads the structure they came from.
bool CProfessionalRecovery::FirstDataSector(const FoundFileRecord& record, uint64_t& sector) {
  const EngineEntry* entry = EngineOfKind(record.EngineKind());
  if (!entry) return false;
  if (entry->clusterRecords) return ClusterFirstSector(record, uint32_t(sectorSize_), sector);
  SweepSlot* slot = SlotOfKind(entry->sweepKind);
  IDataPlacement* placement = slot ? slot->engine->Faces().placement : nullptr;
  return placement && placement->FirstDataSector(record, uint32_t(sectorSize_), sector);
}

int CProfessionalRecovery::SearchByExtension(const std::string& text,
                                             std::vector<FoundFileRecord>& found) {
  if (fast_) fast_->SearchByExtension(text, found);
  std::vector<FoundFileRecord> part;
  for (SweepSlot& slot : sweeps_) {
    slot.engine->SearchByExtension(text, part);
    AppendShown(part, found);
  }
  carving_.SearchByExtension(text, part);
  AppendShown(part, found);
  SortRecords(found);
  return 0;
}

}  // namespace salvora
