#include "cli/RecordFacts.h"

#include "scan/EngineTypes.h"

namespace salvora::cli {
namespace {
constexpr uint32_t kSectorBytes = 512;
constexpr uint32_t kFirstDataCluster = 2;
}  // namespace

std::string EngineNameOf(const FoundFileRecord& record) {
  switch (static_cast<salvora::EngineKind>(record.EngineKind())) {
    case salvora::EngineKind::FastNtfs: return "fast-ntfs";
    case salvora::EngineKind::FastFat: return "fast-fat";
    case salvora::EngineKind::DeepNtfs: return "deep-ntfs";
    case salvora::EngineKind::DeepFat: return "deep-fat";
    case salvora::EngineKind::FileType: return "file-type";
  }
  return "unknown";
}

bool FirstDataSector(const FoundFileRecord& record, uint64_t& sector) {
  const auto kind = static_cast<salvora::EngineKind>(record.EngineKind());
  if (kind != salvora::EngineKind::FastFat && kind != salvora::EngineKind::DeepFat) return false;
  if (record.ObjectId() < kFirstDataCluster || record.ClusterSize() < kSectorBytes || record.FileSize() == 0)
    return false;
  sector = record.PartitionStart() + record.DataAreaStart() +
           uint64_t(record.ObjectId() - kFirstDataCluster) * (record.ClusterSize() / kSectorBytes);
  return true;
}

}  // namespace salvora::cli
