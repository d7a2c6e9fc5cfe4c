#pragma once

#include <cstdint>

#include "scan/FoundFileStore.h"
#include "storage/SectorReader.h"

namespace salvora {

// Files a deep engine found in folder sectors whose chains are gone with the table (after a quick
// format every cluster reads free): put back from their pieces by FatFragmentClaims over an area
// taken as all free, where the other entries that still hold their content keep their own
// clusters, and recorded as layouts in the store. A layout is kept only where the content holds
// further than the contiguous run, so a file that is whole as it lies never changes. Shared by the
// deep FAT and exFAT engines (their records give first cluster, size, cluster size, data area
// and write time alike).
void PlaceStoredFragments(FoundFileStore& store, SectorReader& reader, uint32_t sectorSize);

}  // namespace salvora
