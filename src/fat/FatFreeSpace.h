#pragma once

#include <cstdint>

#include "storage/SectorReader.h"

namespace salvora {

// The free space of an unmounted FAT volume: its free allocation-table entries times the cluster
// size. True and freeBytes set when the volume's boot sector and table can be read; false
// otherwise. Reads only, every read bounded by the source. Not among the registered counters: a
// saved scan of a FAT source keeps being identified by the fingerprint of its first sectors.
bool CountFatFreeBytes(SectorReader& reader, uint64_t startSector, uint64_t sectorCount, int sectorSize,
                       uint64_t& freeBytes);

}  // namespace salvora
