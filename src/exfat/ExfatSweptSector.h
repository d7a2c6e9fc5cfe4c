#pragma once

#include <cstddef>

#include "platform/ByteView.h"

namespace salvora {

// The sweep's raw tests for the deep exFAT engine. available holds the sector and whatever the
// sweep has read after it (at least sectorSize bytes).
//
// A directory sector: every 32-byte entry up to the first end-of-directory entry has a type a
// directory holds (live or deleted), and an entry set starts in the sector whose checksum holds
// (the bytes after the sector complete one that runs over its end), or, when those bytes are not
// in memory, whose stream extension follows its file entry. Most other sectors are refused by
// their first byte.
bool IsExfatDirectorySector(ByteView available, size_t sectorSize);
// An exFAT boot sector (the name at offset 3 first, then the full recognition test).
bool IsExfatBootSectorAt(ByteView available);
// Either of the two: what the deep exFAT engine takes.
bool IsExfatSweptSector(ByteView available, size_t sectorSize);

}  // namespace salvora
