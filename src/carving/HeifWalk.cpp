#include "carving/StructureWalks.h"

namespace salvora {

// A HEIF or AVIF picture is ISO media without a movie: its items are described by the top-level
// meta box, their coded data lies in mdat (or inside meta).
WalkResult WalkHeif(ByteSource& source) { return WalkTopLevelBoxes(source, "meta"); }

}  // namespace salvora
