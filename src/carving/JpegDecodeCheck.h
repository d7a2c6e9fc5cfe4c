#pragma once

#include "carving/JpegEntropyScan.h"
#include "carving/StructureWalk.h"

namespace salvora {

// Decodes a JPEG from the source's first byte with libjpeg-turbo. Measured(length to the end
// marker) when the picture decodes cleanly; BrokenAt(offset) when it does not, the offset being
// where the decoder's input stood when the first bad row of blocks began (before any row: where the
// headers broke), or earlier where the entropy data of a sequential picture first holds an
// impossible symbol (FirstBadEntropyRow). None() when it is no JPEG, or one the check declines to
// decode (absurd dimensions, a picture too large for the memory the check allows).
WalkResult DecodeJpeg(ByteSource& source);
// The same, the reading of the entropy data going on from row marks of the same first bytes
// (`how`, without a bound).
WalkResult DecodeJpeg(ByteSource& source, const EntropyReading& how);
// DecodeJpeg(source), its reading of the entropy data keeping row marks in `keep` (nothing when
// the picture is not read so), for a search that goes on from them.
WalkResult DecodeJpegKeeping(ByteSource& source, EntropyRowMarks& keep);

// DecodeJpeg(source, how) where only the allocation unit of a break counts (units of `step` bytes
// from `phase`): data whole to its last block and followed by whole bytes before the next marker
// breaks where the decoder's input stood after the last row, a few bytes past the data's end;
// when those bytes all lie in one unit, the break is given at the data's end without a decode.
WalkResult DecodeJpegToUnit(ByteSource& source, const EntropyReading& how, uint64_t phase, uint64_t step);

// Whether DecodeJpeg(source) finds the picture whole, without the decoder where the reading of
// the entropy data settles it: a bad row, or whole bytes after the last block that the decoder
// would throw away with a complaint. The reading may go on from row marks of the same first bytes
// (`how`, without a bound).
bool JpegDecodesWhole(ByteSource& source, const EntropyReading& how = {});

// The same answer from decoding every row, never settled by the symbol-level reading alone: the
// reference DecodeJpeg's single reading is held to (several times slower).
WalkResult DecodeJpegRows(ByteSource& source);

}  // namespace salvora
