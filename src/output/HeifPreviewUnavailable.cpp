#include "output/HeifPreview.h"

namespace salvora {

// Built where libheif is not (Windows: Debian has no libheif or HEVC/AV1 decoders for mingw).
// The picture stays as it is and the preview says it cannot show it, as for one that does not decode.
bool DecodeHeifForPreview(const std::string&) { return false; }

}  // namespace salvora
