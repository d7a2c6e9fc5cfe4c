#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/ByteView.h"
#include "platform/RawSource.h"

namespace salvora {

// True when sector is an NTFS boot sector the engines can work from.
bool IsUsableNtfsBootSector(ByteView sector);

// Reads the backup boot sector an NTFS volume keeps in its last sector (of 512 to 4,096 bytes,
// ending at endByte, and numbered as the copy's sector count says) into boot, which gets 4,096 bytes with the copy first. The copy's byte
// offset from startByte, the volume's start; nullopt when no usable copy is there.
std::optional<uint64_t> ReadNtfsBackupBoot(platform::RawSource& source, uint64_t startByte,
                                           uint64_t endByte, std::vector<uint8_t>& boot);

}  // namespace salvora
