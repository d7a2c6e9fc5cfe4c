#include "cli/RecordFacts.h"

#include "fat/FatFirstDataSector.h"
#include "scan/EngineTypes.h"

namespace salvora::cli {
namespace {
// The reports count sectors of 512 bytes.
constexpr uint32_t kSectorBytes = 512;
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
  if (record.ClusterSize() < kSectorBytes || record.FileSize() == 0) return false;
  return FatFirstDataSector(record, kSectorBytes, sector);
}

}  // namespace salvora::cli
