#include "scan/SourceIdentity.h"

#include <algorithm>
#include <vector>

#include "platform/DiskMap.h"
#include "platform/MountInfo.h"

namespace salvora {
namespace {

constexpr uint64_t kFingerprintBytes = 1 << 20;
constexpr uint64_t kFnvOffset = 14695981039346656037ull;
constexpr uint64_t kFnvPrime = 1099511628211ull;

// Built on first use, so that registrations from other files' static initialisers find it.
std::vector<FreeClusterCounter>& CounterTable() {
  static std::vector<FreeClusterCounter> table;
  return table;
}

}  // namespace

std::span<const FreeClusterCounter> FreeClusterCounters() { return CounterTable(); }

bool RegisterFreeClusterCounter(FreeClusterCounter counter) {
  auto& table = CounterTable();
  if (counter && std::find(table.begin(), table.end(), counter) == table.end()) table.push_back(counter);
  return true;
}

uint64_t FingerprintPartitionHead(SectorReader& reader, uint64_t startSector, uint64_t sectorCount,
                                  int sectorSize) {
  if (sectorSize <= 0) return 0;
  const uint64_t wanted = std::min<uint64_t>(kFingerprintBytes / uint64_t(sectorSize), sectorCount);
  const uint32_t pieceSectors = std::max<uint32_t>(1, uint32_t(SectorReader::kPieceBytes / uint32_t(sectorSize)));
  std::vector<uint8_t> piece(size_t(pieceSectors) * size_t(sectorSize));
  uint64_t hash = kFnvOffset;
  uint64_t hashed = 0;
  for (uint64_t done = 0; done < wanted;) {
    uint32_t n = uint32_t(std::min<uint64_t>(pieceSectors, wanted - done));
    uint32_t got = 0;
    int rc = reader.ReadSectors(piece.data(), n, startSector + done, sectorSize, got);
    for (size_t i = 0; i < size_t(got) * size_t(sectorSize); ++i) hash = (hash ^ piece[i]) * kFnvPrime;
    hashed += got;
    if (rc != 0 || got < n) break;
    done += n;
  }
  return hashed == 0 ? 0 : hash;
}

uint64_t IdentifyUnmountedPartition(SectorReader& reader, uint64_t start, uint64_t count,
                                    int sectorSize) {
  for (FreeClusterCounter counter : FreeClusterCounters()) {
    uint64_t freeBytes = 0;
    if (counter && counter(reader, start, count, sectorSize, freeBytes)) return freeBytes;
  }
  return FingerprintPartitionHead(reader, start, count, sectorSize);
}

uint64_t IdentifyPartitionSource(int disk, uint64_t start, uint64_t count) {
  std::string diskPath;
  if (platform::DiskDevicePath(disk, diskPath) != 0) return 0;
  std::string device = platform::PartitionDevicePath(diskPath, start);
  if (!device.empty()) {
    std::string mountPoint = platform::MountPointOfDevice(device);
    uint64_t freeBytes = 0;
    if (!mountPoint.empty() && platform::MountedFreeBytes(mountPoint, freeBytes) == 0)
      return freeBytes;
  }
  SectorReader reader;
  if (reader.OpenDisk(disk) != 0) return 0;
  return IdentifyUnmountedPartition(reader, start, count, reader.DeviceSectorSize());
}

}  // namespace salvora
