#include "scan/FoundFileIdentity.h"

namespace salvora {
namespace {
constexpr uint32_t kFirstDataCluster = 2;
constexpr uint32_t kThm = 't' | 'h' << 8 | 'm' << 16;
constexpr uint32_t kJpg = 'j' | 'p' << 8 | 'g' << 16;
}  // namespace

uint32_t ExtensionCode(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return 0;
  uint32_t code = 0;
  for (size_t i = 0; dot + 1 + i < name.size() && i < 4; ++i) {
    const char c = name[dot + 1 + i];
    code |= uint32_t(uint8_t(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c)) << (8 * i);
  }
  return code;
}

bool SameFileByExtension(uint32_t fileSystem, uint32_t carved) {
  return fileSystem == carved || (fileSystem == kThm && carved == kJpg);
}

bool ClusterFirstSector(const FoundFileRecord& record, uint32_t sectorSize, uint64_t& sector) {
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
