#pragma once

#include <cstddef>
#include <cstdint>

#include "carving/StopSector.h"

namespace salvora {

// What a size rule looks for in each piece it reads ahead. The default finds nothing, so the file
// ends at the first stop sector or the limit.
class EndSearch {
 public:
  virtual ~EndSearch() = default;
  // piece: the bytes of one piece; base: the file's bytes before it. stopFound tells whether a
  // stop sector lies in this piece, and size is then already cut there. Returns true when the
  // rule ends with this piece (size set as the format wants).
  virtual bool OnPiece(const uint8_t* /*piece*/, size_t /*length*/, uint64_t /*base*/,
                       bool /*stopFound*/, uint64_t& /*size*/) {
    return false;
  }
  // The format's final adjustment of the size the reading ahead reached.
  virtual void Finish(uint64_t& /*size*/) {}
};

// The common skeleton of every rule that reads ahead: from the sector after the file's first
// one, read pieces of 64 KiB into the scanner's work buffer, report progress once per piece, cut
// the file at the first stop sector, let the format's end search look at each piece, and give up
// at the limit. Everything else (source, sector size, start sector, progress snapshot and
// callbacks) comes from MeasureContext. Returns the size in bytes counted from the start of the
// first sector; the callback's last answer is left in the context.
uint64_t ScanSizeRule(uint64_t limitBytes, EndSearch& search,
                      StopVariant variant = StopVariant::AnyFileStart);

// The same from the file's sector fromSector on (1 for the sector after the first): the sectors
// before it are taken to belong to the file. The limit still counts from the file's start.
uint64_t ScanSizeRuleFrom(uint64_t fromSector, uint64_t limitBytes, EndSearch& search,
                          StopVariant variant = StopVariant::AnyFileStart);

struct MeasureContext;
// Reports the piece that brings the file's sectors read to sectorsRead to the scan-progress
// callback and keeps its answer in the context.
int ReportPiece(MeasureContext& context, uint64_t sectorsRead);

}  // namespace salvora
