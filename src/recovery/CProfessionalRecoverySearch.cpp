// The merged type search of the advanced scan: one list over the four engines, where a carved file
// that a file-system engine also found at the same first sector is listed once.
#include <map>

#include "platform/TextEncoding.h"
#include "recovery/CProfessionalRecovery.h"
#include "scan/RecordOrder.h"

namespace salvora {
namespace {

std::string ExtensionOf(std::string_view name) {
  size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string() : platform::ToLowerAscii(name.substr(dot + 1));
}

}  // namespace

bool CProfessionalRecovery::FirstDataSector(const FoundFileRecord& record, uint64_t& sector) {
  const uint64_t perCluster = std::max<uint64_t>(1, record.ClusterSize() / uint64_t(sectorSize_));
  switch (static_cast<EngineKind>(record.EngineKind())) {
    case EngineKind::FastFat:
    case EngineKind::DeepFat:
      if (record.ObjectId() >= 2)
        sector = record.PartitionStart() + record.DataAreaStart() + (record.ObjectId() - 2) * perCluster;
      else
        sector = record.PartitionStart() + record.DataAreaStart() - 32;
      return true;
    case EngineKind::FastNtfs:
    case EngineKind::DeepNtfs: {
      RunList runs;
      if (deepNtfs_.GetAttributeRuns(record.EntrySector(), 0x80, runs) != 0 || runs.empty() ||
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
  std::vector<FoundFileRecord> fileSystem;
  if (fast_) fast_->SearchByExtension(text, fileSystem);
  deepFat_.SearchByExtension(text, fileSystem);
  deepNtfs_.SearchByExtension(text, fileSystem);

  std::map<uint64_t, std::string> extensionAt;
  for (const auto& record : fileSystem) {
    uint64_t sector = 0;
    if (FirstDataSector(record, sector)) extensionAt.emplace(sector, ExtensionOf(record.Name()));
  }

  std::vector<FoundFileRecord> carved;
  carving_.SearchByExtension(text, carved);
  found.insert(found.end(), fileSystem.begin(), fileSystem.end());
  for (const auto& record : carved) {
    auto it = extensionAt.find(record.EntrySector());
    if (it != extensionAt.end()) {
      std::string mine = ExtensionOf(record.Name());
      if (mine == it->second) continue;
      if (it->second == "thm" && mine == "jpg") continue;
    }
    found.push_back(record);
  }
  SortRecords(found);
  return 0;
}

}  // namespace salvora
