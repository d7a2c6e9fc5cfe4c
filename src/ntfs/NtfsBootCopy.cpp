#include "ntfs/NtfsBootCopy.h"

#include <algorithm>

#include "ntfs/NtfsBootSector.h"
#include "ntfs/NtfsGeometry.h"

namespace salvora {
namespace {

constexpr size_t kTailBytes = 4096;

}  // namespace

bool IsUsableNtfsBootSector(ByteView sector) {
  NtfsGeometry g;
  return IsNtfsBootSector(sector) && NtfsGeometry::FromBootSector(sector, 0, g);
}

std::optional<uint64_t> ReadNtfsBackupBoot(platform::RawSource& source, uint64_t startByte,
                                           uint64_t endByte, std::vector<uint8_t>& boot) {
  if (endByte < startByte || endByte - startByte < 2 * kTailBytes) return std::nullopt;
  std::vector<uint8_t> tail(kTailBytes, 0);
  int error = 0;
  if (source.ReadAt(tail.data(), tail.size(), endByte - kTailBytes, &error) != static_cast<long long>(kTailBytes))
    return std::nullopt;
  // The copy fills the volume's last sector, whose size it declares itself, and counts the
  // sectors before it: a copy that belongs to a volume starting elsewhere (the last partition's,
  // seen from the whole disk) does not count them.
  for (size_t size = 512; size <= kTailBytes; size *= 2) {
    const ByteView copy(tail.data() + kTailBytes - size, size);
    const uint64_t offset = endByte - size - startByte;
    const NtfsBootSector bs(copy);
    if (!IsUsableNtfsBootSector(copy) || bs.BytesPerSector() != size || bs.TotalSectors() != offset / size)
      continue;
    boot.assign(kTailBytes, 0);
    std::copy(copy.data(), copy.data() + size, boot.begin());
    return offset;
  }
  return std::nullopt;
}

}  // namespace salvora
