#include "fat/FatBootCopy.h"

#include "fat/FatBootSector.h"
#include "fat/FatGeometry.h"

namespace salvora {
namespace {

constexpr uint32_t kUsualBackupSector = 6;
// The backup lies in the reserved area, which formatters keep to 32 sectors.
constexpr uint32_t kMaxBackupSector = 32;
constexpr size_t kBootSectorBytes = 512;

bool Fits(ByteView sector, uint64_t volumeBytes) {
  auto g = FatGeometry::FromBootSector(sector);
  return g && (volumeBytes == 0 || uint64_t(g->dataStart) * g->sectorSize < volumeBytes);
}

}  // namespace

FatBootChoice ChooseFatBootSector(ByteView area, uint32_t sectorSize, uint64_t volumeBytes) {
  FatBootChoice choice;
  const ByteView primary = area.Sub(0, kBootSectorBytes);
  if (IsFatBootSector(primary)) {
    if (Fits(primary, volumeBytes)) return {BootCopy::kPrimary, 0};
    choice.copy = BootCopy::kDoesNotFit;
  }
  const uint32_t named = FatBootSector(primary).BackupBootSector32();
  for (uint32_t sector : {named, kUsualBackupSector}) {
    if (sector == 0 || sector >= kMaxBackupSector) continue;
    const size_t offset = size_t(sector) * sectorSize;
    const ByteView backup = area.Sub(offset, kBootSectorBytes);
    const FatBootSector copy(backup);
    if (!copy.IsFat() || !copy.HasFat32Label()) continue;
    if (Fits(backup, volumeBytes)) return {BootCopy::kBackup, offset};
    choice.copy = BootCopy::kDoesNotFit;
  }
  return choice;
}

}  // namespace salvora
