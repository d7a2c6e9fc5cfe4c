// The raws that are TIFF files under another magic number: their directories, strips and embedded
// previews are walked as a TIFF's.
#include "carving/StructureWalks.h"

namespace salvora {

WalkResult WalkOlympusRaw(ByteSource& source) {
  // "IIRO" and "MMOR" read as 0x4F52 in the header's byte order; "IIRS" as 0x5352.
  return WalkTiffStructure(source, [](uint16_t magic) { return magic == 0x4F52 || magic == 0x5352; });
}

WalkResult WalkPanasonicRaw(ByteSource& source) {
  return WalkTiffStructure(source, [](uint16_t magic) { return magic == 0x0055; });
}

}  // namespace salvora
