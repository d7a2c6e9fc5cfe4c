#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/ByteView.h"
#include "scan/BootCopy.h"

namespace salvora {

// The boot sector that describes a FAT volume, and its byte offset in the volume's first sectors.
struct FatBootChoice {
  BootCopy copy = BootCopy::kNone;
  size_t offset = 0;
};

// Picks among the primary boot sector at the start of area and a FAT32 volume's backup copy (at
// the sector the primary names, else sector 6, in sectors of sectorSize bytes): the first that is
// a FAT boot sector whose data area begins before volumeBytes (0: the size is unknown). kDoesNotFit
// when a FAT boot sector was found but none fits; kNone when there is none.
FatBootChoice ChooseFatBootSector(ByteView area, uint32_t sectorSize, uint64_t volumeBytes);

}  // namespace salvora
