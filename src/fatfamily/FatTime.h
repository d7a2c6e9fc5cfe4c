#pragma once

#include <cstdint>

#include "fatdir/FatDirEntry.h"

// FAT dates and times to FILETIME, taken as they stand (no time-zone conversion). 0 means the
// date cannot be converted.
namespace salvora {

// date: day bits 0-4, month 5-8, year - 1980 9-15; time: seconds / 2 bits 0-4, minutes 5-10,
// hours 11-15.
uint64_t FatDateTimeToFileTime(uint16_t date, uint16_t time, int extraSeconds = 0, int milliseconds = 0);

uint64_t FatCreationFileTime(const FatDirEntry& entry);
uint64_t FatAccessFileTime(const FatDirEntry& entry);
uint64_t FatWriteFileTime(const FatDirEntry& entry);

// The plausible range of a live entry's times: 1990-01-01 up to 2050-01-01.
inline constexpr uint64_t kFatEarliestPlausibleTime = 0x01B41E2A18D64000ULL;
inline constexpr uint64_t kFatLatestPlausibleTime = 0x01F7630BE39D8000ULL;

}  // namespace salvora
