#include "cli/RecordFacts.h"

#include "recovery/EngineTable.h"
#include "scan/EngineTypes.h"
#include "scan/FoundFileIdentity.h"

namespace salvora::cli {
namespace {
// The reports count sectors of 512 bytes.
constexpr uint32_t kSectorBytes = 512;
}  // namespace

std::string EngineNameOf(const FoundFileRecord& record) { return RecordKindName(record.EngineKind()); }

std::vector<std::string> FoundByNames(IFileRecoveryParse& engine, const FoundFileRecord& record) {
  std::vector<std::string> names{EngineNameOf(record)};
  IRecordLogs* logs = engine.Faces().records;
  if (!logs) return names;
  const EngineSet others = logs->FoundBy(record) & ~EngineBit(record.EngineKind());
  // Listed in the order of trust: fast, deep, carving.
  for (uint32_t kind : RecordKinds())
    if (others & EngineBit(kind)) names.push_back(RecordKindName(kind));
  return names;
}

bool FirstDataSector(const FoundFileRecord& record, uint64_t& sector) {
  const EngineEntry* entry = EngineOfKind(record.EngineKind());
  if (!entry || !entry->clusterRecords || record.ClusterSize() < kSectorBytes || record.FileSize() == 0) return false;
  return ClusterFirstSector(record, kSectorBytes, sector);
}

}  // namespace salvora::cli
