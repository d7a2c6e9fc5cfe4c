#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "storage/SectorReader.h"

// The figure that tells a partition source is unchanged since a scan of it was interrupted
// (the free-bytes field of ScanSessionEntry). See ScanSessionEntry.h for the order of preference.
namespace salvora {

// Counts the free space of an unmounted volume from its own structures. Returns true and sets
// freeBytes (free clusters x cluster size) when it recognises the file system at startSector;
// false otherwise. Must bound-check everything it reads and never write.
using FreeClusterCounter = bool (*)(SectorReader& reader, uint64_t startSector,
                                    uint64_t sectorCount, int sectorSize, uint64_t& freeBytes);

// The counters tried in order. The engine table, on a floor above this one, registers those of
// its entries that identify a source by their free space, so every program that links the
// engines counts with them. File systems do not overlap, so the order does not matter.
std::span<const FreeClusterCounter> FreeClusterCounters();

// Adds a counter to the table (once; a second registration of the same counter is ignored).
// Returns true so that it can initialise a namespace-scope constant.
bool RegisterFreeClusterCounter(FreeClusterCounter counter);

// 64-bit FNV-1a of the first 1 MiB of the partition (less when the partition is smaller).
// 0 when nothing could be read.
uint64_t FingerprintPartitionHead(SectorReader& reader, uint64_t startSector, uint64_t sectorCount,
                                  int sectorSize);

// The identifying figure for physical disk `disk`, partition at `start` of `count` sectors.
uint64_t IdentifyPartitionSource(int disk, uint64_t start, uint64_t count);

// The same, without the mounted-volume step, for a reader already open on the source.
uint64_t IdentifyUnmountedPartition(SectorReader& reader, uint64_t start, uint64_t count,
                                    int sectorSize);

}  // namespace salvora
