#pragma once

#include <cstdint>

#include "ntfs/NtfsRecordHelper.h"
#include "platform/ByteView.h"

namespace salvora {

// The sectors per cluster that a formatter would most likely have chosen for a volume of this
// size (used until a record tells better).
uint32_t GuessClusterSectors(uint64_t totalSectors, int bytesPerSector);

// The sectors per cluster that the first non-resident $DATA of a fixed-up FILE record implies
// (its allocated size over its clusters). 0 when the record tells nothing, or something no
// formatter makes (not a power of two, or clusters above 2 MiB).
// Result: 0 when the record was read, 87 for no "FILE" magic or a first attribute outside it.
int InferClusterSectors(ByteView record, const NtfsRecordHelper& helper, uint32_t& spc);

}  // namespace salvora
