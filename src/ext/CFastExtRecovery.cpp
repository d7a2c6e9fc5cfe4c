#include "ext/CFastExtRecovery.h"

namespace salvora {

int CFastExtRecovery::OpenDiskPartition(int diskNumber, uint64_t startSector, uint64_t sectorCount,
                                        char16_t) {
  if (int rc = reader_.OpenDisk(diskNumber); rc != 0) return rc;
  startSector_ = startSector;
  sectorCount_ = sectorCount;
  return 0;
}

}  // namespace salvora
