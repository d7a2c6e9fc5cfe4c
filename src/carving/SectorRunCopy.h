#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "storage/SectorReader.h"

namespace salvora {

// Reads the whole sectors that hold `bytes` bytes from firstSector on, in pieces of at most 64 KiB
// through one buffer, and hands each piece's bytes that still belong to the run to sink (the last
// piece is cut at `bytes`). A sink answer other than 0 ends the copy with that value. Returns 0, 8
// when the buffer cannot be had, the reader's error, or 30 for a read that yields no sector. A
// piece that was read only in part is handed on before the copy ends with the read's error.
using PieceSink = std::function<int(const uint8_t* data, size_t length)>;
int CopySectorRun(SectorReader& reader, int sectorSize, uint64_t firstSector, uint64_t bytes,
                  const PieceSink& sink);

}  // namespace salvora
