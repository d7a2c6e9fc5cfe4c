#include "carving/ScanSizeRule.h"

#include <algorithm>

#include "carving/MeasureContext.h"
#include "platform/ErrorCodes.h"

namespace salvora {
int ReportPiece(MeasureContext& context, uint64_t sectorsRead) {
  if (!context.scanCallback) return 0;
  // A file measured near the end of the sweep may read far past it (into allocated space, or a
  // long file): the bar stops at its end rather than passing 100%.
  uint64_t processed = context.processed + sectorsRead;
  if (context.total != 0 && processed > context.total) processed = context.total;
  const int percent = context.total ? int(processed * 100 / context.total) + 10 : 10;
  int answer = context.scanCallback(context.callbackContext, percent, context.mode,
                                    context.remainingSeconds, processed, context.total,
                                    context.foundCount, 0);
  context.lastCallbackAnswer = answer;
  return answer;
}

namespace {

// Sectors the source still holds from first on (unknown totals do not limit).
uint64_t SectorsAvailable(const MeasureContext& context, uint64_t first) {
  const uint64_t total = context.reader->TotalSectors();
  return first < total ? total - first : 0;
}

}  // namespace

uint64_t ScanSizeRule(uint64_t limitBytes, EndSearch& search, StopVariant variant) {
  return ScanSizeRuleFrom(1, limitBytes, search, variant);
}

uint64_t ScanSizeRuleFrom(uint64_t fromSector, uint64_t limitBytes, EndSearch& search,
                          StopVariant variant) {
  MeasureContext& context = MeasureContext::Instance();
  const int sectorSize = context.sectorSize;
  if (sectorSize <= 0) return 0;
  const uint64_t sector = uint64_t(sectorSize);
  if (fromSector == 0) fromSector = 1;  // the first sector belongs to the file
  uint64_t size = fromSector * sector;
  uint8_t* buffer = context.WorkBuffer();
  if (!buffer || !context.reader) {
    search.Finish(size);
    return size;
  }
  uint64_t base = size;
  uint64_t sectorsLeft = limitBytes / sector > fromSector - 1 ? limitBytes / sector - (fromSector - 1) : 0;
  const uint64_t piece = std::max<uint64_t>(1, MeasureContext::kWorkBufferBytes / sector);
  uint64_t offset = fromSector - 1;

  while (sectorsLeft > 0) {
    const uint64_t first = context.startSector + 1 + offset;
    // A file that runs into the end of the source keeps the sectors that are there: the last
    // piece is shortened instead of being refused as a whole.
    uint32_t n = uint32_t(std::min({piece, sectorsLeft, SectorsAvailable(context, first)}));
    if (n == 0) break;
    uint32_t got = 0;
    const int rc = context.reader->ReadSectors(buffer, n, first, sectorSize, got);
    const bool lastPiece = rc != kOk;
    if (lastPiece) {
      if (got == 0 || got > n) break;
      n = got;
    }
    if (ReportPiece(context, offset + n) != 0) break;

    bool stopFound = false;
    for (uint32_t i = 0; i < n; ++i) {
      context.sectorUnderTest = first + i;
      if (IsStopSector(buffer + size_t(i) * sector, sectorSize, variant)) {
        size += uint64_t(i) * sector;
        stopFound = true;
        break;
      }
    }
    const size_t pieceBytes = size_t(n) * size_t(sector);
    if (search.OnPiece(buffer, pieceBytes, base, stopFound, size) || stopFound) break;
    size += pieceBytes;
    base += pieceBytes;
    sectorsLeft -= n;
    offset += n;
    if (lastPiece) break;
  }
  search.Finish(size);
  return size;
}

}  // namespace salvora
