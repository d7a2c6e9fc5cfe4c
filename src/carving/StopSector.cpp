#include "carving/StopSector.h"

#include "carving/SignatureScanner.h"
#include "carving/TypeCode.h"

namespace salvora {

bool IsStopSector(const uint8_t* sector, int length, StopVariant variant) {
  const TypeCode code = IdentifySector(sector, length);
  if (code != kTypeNone) {
    if (!(variant == StopVariant::KeepMpegProgramStream && code == kTypeMpeg)) return true;
  }
  return IsMetadataSector(sector, length);
}

}  // namespace salvora
