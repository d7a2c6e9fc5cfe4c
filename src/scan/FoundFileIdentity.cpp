#include "scan/FoundFileIdentity.h"

namespace salvora {
namespace {
constexpr uint32_t kFirstDataCluster = 2;
}  // namespace

bool FatFirstDataSector(const FoundFileRecord& record, uint32_t sectorSize, uint64_t& sector) {
  if (record.ObjectId() < kFirstDataCluster || sectorSize == 0 || record.ClusterSize() < sectorSize)
    return false;
  const uint64_t perCluster = record.ClusterSize() / sectorSize;
  sector = record.PartitionStart() + record.DataAreaStart() +
           uint64_t(record.ObjectId() - kFirstDataCluster) * perCluster;
  return true;
}

const char* StateName(FindState state) {
  switch (state) {
    case FindState::Live: return "live";
    case FindState::Deleted: return "deleted";
    case FindState::Lost: return "lost";
    case FindState::Carved: return "carved";
  }
  return "live";
}

}  // namespace salvora
