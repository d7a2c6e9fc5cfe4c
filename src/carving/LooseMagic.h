#pragma once

#include <cstdint>

#include "carving/TypeCode.h"

namespace salvora {

// Whether a sector carries the few bytes every file of a format starts with, looser than the
// format's tester (any JPEG starts FF D8 FF, whatever its first segment; any TIFF-based raw starts
// with a TIFF header, wherever its maker's mark lies).
enum class MagicAnswer {
  Carries,  // might be the format's start
  Lacks,    // cannot be: no file of the format starts so
  Unknown,  // the format has no such bytes (an MP3 without a tag)
};

MagicAnswer LooseMagicOf(TypeCode code, const uint8_t* bytes, int length);

}  // namespace salvora
