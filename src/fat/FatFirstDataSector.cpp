#include "fat/FatFirstDataSector.h"

#include <algorithm>

#include "scan/EngineTypes.h"

namespace salvora {

bool FatFirstDataSector(const FoundFileRecord& record, uint32_t sectorSize, uint64_t& sector) {
  constexpr uint32_t kFirstDataCluster = 2;
  const auto kind = static_cast<EngineKind>(record.EngineKind());
  if (kind != EngineKind::FastFat && kind != EngineKind::DeepFat) return false;
  if (record.ObjectId() < kFirstDataCluster || sectorSize == 0) return false;
  const uint64_t perCluster = std::max<uint64_t>(1, record.ClusterSize() / sectorSize);
  sector = record.PartitionStart() + record.DataAreaStart() +
           uint64_t(record.ObjectId() - kFirstDataCluster) * perCluster;
  return true;
}

}  // namespace salvora
