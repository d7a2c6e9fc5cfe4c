#pragma once

#include <cstdint>

namespace salvora {

// An exFAT timestamp (FAT date in the high half, FAT time in the low half), its 10-ms increment
// (0-199, carrying a second) and its UTC offset byte (bit 7: valid; bits 0-6: signed quarter
// hours) to FILETIME. With a valid offset the result is UTC; without one the local time as it
// stands, as FAT times are. 0 when the date cannot be converted.
uint64_t ExfatTimeToFileTime(uint32_t timestamp, uint8_t tenMs, uint8_t utcOffset);

// The offset in minutes east of UTC (0 when the byte says it is not valid).
int ExfatUtcOffsetMinutes(uint8_t utcOffset);

}  // namespace salvora
