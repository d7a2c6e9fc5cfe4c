// The merged type search of the advanced scan: one list over the four engines, each found file
// once (see ResultSet).
#include "ntfs/NtfsAttribute.h"
#include "recovery/CProfessionalRecovery.h"
#include "scan/RecordOrder.h"

namespace salvora {

bool CProfessionalRecovery::FirstDataSector(const FoundFileRecord& record, uint64_t& sector) {
  const uint64_t perCluster = std::max<uint64_t>(1, record.ClusterSize() / uint64_t(sectorSize_));
  switch (static_cast<EngineKind>(record.EngineKind())) {
    case EngineKind::FastFat:
    case EngineKind::FastExfat:
    case EngineKind::DeepFat:
    case EngineKind::DeepExfat: return FatFirstDataSector(record, uint32_t(sectorSize_), sector);
    case EngineKind::FastNtfs:
    case EngineKind::DeepNtfs: {
      RunList runs;
      if (deepNtfs_.GetAttributeRuns(record.EntrySector(), kAttrData, runs) != 0 || runs.empty() ||
          runs.front().sparse)
        return false;
      sector = record.PartitionStart() + uint64_t(runs.front().delta) * perCluster;
      return true;
    }
    case EngineKind::FileType: break;
  }
  return false;
}

int CProfessionalRecovery::SearchByExtension(const std::string& text,
                                             std::vector<FoundFileRecord>& found) {
  if (fast_) fast_->SearchByExtension(text, found);
  std::vector<FoundFileRecord> part;
  deepFat_.SearchByExtension(text, part);
  AppendShown(part, found);
  deepNtfs_.SearchByExtension(text, part);
  AppendShown(part, found);
  deepExfat_.SearchByExtension(text, part);
  AppendShown(part, found);
  carving_.SearchByExtension(text, part);
  AppendShown(part, found);
  SortRecords(found);
  return 0;
}

}  // namespace salvora
