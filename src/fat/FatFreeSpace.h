#pragma once

#include <cstdint>

#include "storage/SectorReader.h"

namespace salvora {

// The free space of an unmounted FAT volume: its free allocation-table entries times the cluster
// size. True and freeBytes set when the volume's boot sector and table can be read; false
// otherwise. Reads only, every read bounded by the source. It does not identify a saved scan's
// source (the engine table says so): a FAT source keeps being identified by its first sectors.
bool CountFatFreeBytes(SectorReader& reader, uint64_t startSector, uint64_t sectorCount, int sectorSize,
                       uint64_t& freeBytes);

}  // namespace salvora
