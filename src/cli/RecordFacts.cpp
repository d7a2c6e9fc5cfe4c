#include "cli/RecordFacts.h"

#include "recovery/CProfessionalRecovery.h"
#include "scan/EngineTypes.h"
#include "scan/FoundFileIdentity.h"

namespace salvora::cli {
namespace {
// The reports count sectors of 512 bytes.
constexpr uint32_t kSectorBytes = 512;
}  // namespace

std::string EngineNameOf(const FoundFileRecord& record) {
  switch (static_cast<salvora::EngineKind>(record.EngineKind())) {
    case salvora::EngineKind::FastNtfs: return "fast-ntfs";
    case salvora::EngineKind::FastFat: return "fast-fat";
    case salvora::EngineKind::FastExfat: return "fast-exfat";
    case salvora::EngineKind::DeepNtfs: return "deep-ntfs";
    case salvora::EngineKind::DeepFat: return "deep-fat";
    case salvora::EngineKind::DeepExfat: return "deep-exfat";
    case salvora::EngineKind::FileType: return "file-type";
  }
  return "unknown";
}

std::vector<std::string> FoundByNames(IFileRecoveryParse& engine, const FoundFileRecord& record) {
  std::vector<std::string> names{EngineNameOf(record)};
  auto* advanced = dynamic_cast<CProfessionalRecovery*>(&engine);
  if (!advanced) return names;
  const EngineSet others = advanced->FoundBy(record) & ~EngineBit(salvora::EngineKind(record.EngineKind()));
  // Listed in the order of trust: fast, deep, carving.
  for (auto kind : {salvora::EngineKind::FastFat, salvora::EngineKind::FastNtfs, salvora::EngineKind::FastExfat,
                    salvora::EngineKind::DeepFat, salvora::EngineKind::DeepNtfs, salvora::EngineKind::DeepExfat,
                    salvora::EngineKind::FileType}) {
    if (!(others & EngineBit(kind))) continue;
    FoundFileRecord probe;
    probe.SetEngineKind(uint32_t(kind));
    names.push_back(EngineNameOf(probe));
  }
  return names;
}

bool FirstDataSector(const FoundFileRecord& record, uint64_t& sector) {
  if (record.ClusterSize() < kSectorBytes || record.FileSize() == 0) return false;
  return FatFirstDataSector(record, kSectorBytes, sector);
}

}  // namespace salvora::cli
