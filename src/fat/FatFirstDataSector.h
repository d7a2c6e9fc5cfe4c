#pragma once

#include <cstdint>

#include "scan/FoundFileRecord.h"

namespace salvora {

// Where the data of a FAT engine's record begins, as an absolute sector of sectorSize bytes: its
// first cluster (ObjectId) counted from cluster 2, which opens the data area. False for a record
// of another engine, or one without a first cluster (below 2).
bool FatFirstDataSector(const FoundFileRecord& record, uint32_t sectorSize, uint64_t& sector);

}  // namespace salvora
