#pragma once

#include <cstdint>

#include "fatdir/FatDirEntry.h"
#include "scan/EngineTypes.h"
#include "scan/FoundFileRecord.h"

namespace salvora {

// What the FAT engines' records take alike from a directory entry: the engine and drive letter
// that found it, the cluster it names as the object id, and its three times.
void TakeFatEntryFacts(FoundFileRecord& r, const FatDirEntry& e, uint32_t kind, char16_t driveLetter,
                       uint32_t cluster);

}  // namespace salvora
