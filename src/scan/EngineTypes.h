#pragma once

#include <cstdint>

#include "platform/ErrorCodes.h"

namespace salvora {

// Which engine produced a record (FoundFileRecord::EngineKind) is kept in saved scans; the
// coordinator routes per-record operations by it. Each file-system engine's kind is its own (its
// table entry names it); carving's is here, for the floors that tell a carved file apart.
inline constexpr uint32_t kFileTypeRecordKind = 4;

inline constexpr int ScanCancelled = kScanCancelled;

// Callbacks return 0 to go on; any other value stops the operation, which returns that value.
// weight: the share in percent of the whole progress bar that this percent covers.
using ScanProgressCallback = int (*)(void* userData, int percent, int weight, int remainingSeconds,
                                     uint64_t currentSector, uint64_t totalSectors,
                                     uint64_t recordsFound, int reserved);
using RecoveryProgressCallback = int (*)(void* userData, int percent, int hundred, int errorCode,
                                         const char* outputPath);
using SearchProgressCallback = int (*)(void* userData, int percent, int zero);
using PreviewProgressCallback = int (*)(void* userData, int percent, int errorCode);

}  // namespace salvora
