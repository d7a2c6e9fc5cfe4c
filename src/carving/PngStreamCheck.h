#pragma once

#include "carving/StructureWalk.h"

namespace salvora {

// Checks a PNG from the source's first byte: every chunk's CRC up to IEND, and the image data (the
// IDAT chunks' zlib stream) inflated to its end, which must hold exactly the rows the header
// declares. Measured(length to the end of IEND) when all of it holds; BrokenAt(offset) at the chunk
// whose CRC fails or the IDAT byte where the stream breaks; None() when it is no PNG.
WalkResult CheckPngStreams(ByteSource& source);

}  // namespace salvora
