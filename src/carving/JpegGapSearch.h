#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "carving/ByteSource.h"
#include "carving/StructureWalk.h"

namespace salvora {

// One piece of a JPEG: `length` bytes from `offset` of the medium.
struct JpegPiece {
  uint64_t offset = 0;
  uint64_t length = 0;
  bool operator==(const JpegPiece&) const = default;
};

// A JPEG found in pieces, counted from its first byte on the medium: bytes [0, firstLength), then
// from secondOffset on; `pieces` holds them all in file order (two or more, up to kMaxPieces), the
// first at offset 0, each later one past the one before.
struct JpegSplit {
  static constexpr size_t kMaxPieces = 8;
  uint64_t firstLength = 0;
  uint64_t secondOffset = 0;
  uint64_t length = 0;
  std::vector<JpegPiece> pieces;
  uint64_t SecondLength() const { return pieces.size() > 1 ? pieces[1].length : length - firstLength; }
};

// How hard the search tries for one file.
struct JpegGapBounds {
  uint64_t step = 512;        // allocation unit: pieces start and end on its multiples
  uint64_t phase = 0;         // the first unit boundary after the file's first byte (0: the file
                              // starts on one)
  uint64_t maxGap = 8ull << 20;
  int maxSplitPoints = 8;     // where the first piece may end
  int maxWalks = 64;          // continuations followed to an end marker
  int maxDecodes = 12;        // layouts decoded in full
};

// Gap carving of a JPEG that does not decode cleanly as carved (its first plainLength bytes of the
// medium). Where the entropy data stops looking like entropy data, the first piece ends on an
// allocation boundary; the second piece is looked for among the units that follow, up to a gap of
// maxGap: it must continue the entropy data (markers that belong there, restart markers in order),
// run to an end marker, and the whole must then decode cleanly. A join after which the picture
// decodes a unit further and breaks again is searched on from there the same way, up to kMaxPieces
// pieces: only a layout that decodes whole is taken (Huffman data falls back into step after a
// wrong join, so how far a join holds decides nothing). The walks and decodes of all the joins
// count against one file's bounds. nullopt when the plain file decodes, is no JPEG, or no layout
// holds within the bounds.
// plainDecode, when given, receives the decode of the plain file (its verdict as carved).
std::optional<JpegSplit> FindJpegContinuation(ByteSource& medium, uint64_t plainLength,
                                              const JpegGapBounds& bounds, WalkResult* plainDecode = nullptr);

// Whether FindJpegContinuation searches (and so decodes the plain file) with these bounds: a step
// of one byte up to the largest allocation unit.
bool GapSearchRuns(const JpegGapBounds& bounds);

}  // namespace salvora
