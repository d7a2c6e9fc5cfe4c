#pragma once

#include <cstdint>
#include <vector>

#include "ntfs/NtfsMft.h"
#include "storage/SectorReader.h"

namespace salvora {

// Reads the allocation bitmap of the volume ($Bitmap, record 6): bit k set = cluster k in use.
// The buffer never grows past what the volume's clusters need, whatever the run lengths claim;
// bytes that cannot be read stay 0 (free, so they are searched rather than skipped). length gets
// the bytes that hold the bitmap. 0, 8 or the lookup's error.
int LoadNtfsUsageBitmap(NtfsMft& mft, SectorReader& reader, std::vector<uint8_t>& bitmap,
                        uint64_t& length);

// The free space of an unmounted NTFS volume (free clusters x cluster size) from its $Bitmap;
// false when the sectors at startSector hold no NTFS volume.
bool CountNtfsFreeBytes(SectorReader& reader, uint64_t startSector, uint64_t sectorCount,
                        int sectorSize, uint64_t& freeBytes);

}  // namespace salvora
