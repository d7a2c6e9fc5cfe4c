#pragma once

#include <cstdint>
#include <functional>
#include <set>

#include "scan/FoundFileStore.h"
#include "scan/ISweepEngine.h"
#include "storage/SectorReader.h"

namespace salvora {

// Files a deep engine found in folder sectors whose chains are gone with the table (after a quick
// format every cluster reads free): put back from their pieces by FatFragmentClaims over the
// clusters the live map holds free (all of them without a map), where the other entries that still hold their content keep their own
// clusters, and recorded as layouts in the store. A layout is kept only where the content holds
// further than the contiguous run, so a file that is whole as it lies never changes. Shared by the
// deep FAT and exFAT engines (their records give first cluster, size, cluster size, data area
// and write time alike).
// progress is told before each file in pieces is read (done, total); a non-zero answer stops the
// placing there and is returned (the layouts kept so far hold: each was checked). 0 when done.
using PlaceProgress = std::function<int(uint64_t done, uint64_t total)>;
// folderSectors: the first sectors of clusters the engine met folder entries in; no file's piece
// lies there. liveFree: where the live allocation map is known and trusted, a cluster whose first
// sector it holds in use belongs to a live file, and a file starting there has its chain (or was
// written over): neither is placed nor claims.
int PlaceStoredFragments(FoundFileStore& store, SectorReader& reader, uint32_t sectorSize,
                         const PlaceProgress& progress = {}, const std::set<uint64_t>& folderSectors = {},
                         const FreeSectorTest& liveFree = {});
// A PlaceProgress for a deep engine: the scan's callback at the sweep's end (percent 110 of the
// sweep's scale), so the bar stays put, the program stays answerable and a cancel is honoured.
PlaceProgress SweepEndProgress(ScanProgressCallback callback, void* userData, int weight);

}  // namespace salvora
