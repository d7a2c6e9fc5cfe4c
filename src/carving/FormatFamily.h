#pragma once

#include <cstdint>

#include "carving/TypeCode.h"

namespace salvora {

// True when a and b are kinds of one container, so that a file named as one may well start like
// the other: the TIFF-based raws and TIFF, the kinds of ISO media, the MPEG audio layers, Ogg's
// codecs, the two transport streams. (Compound documents and office packages are told apart by
// their own testers, which read further; their kinds stay apart.)
bool SameFamily(TypeCode a, TypeCode b);

// True when every byte of the sector is the same (zeros, or the erased state of flash memory): a
// first sector that was overwritten or never written.
bool IsBlankSector(const uint8_t* bytes, int length);

// True when the sector holds plain text (printable ASCII, tabs and line ends), perhaps followed by
// zeros: no binary format's first sector looks so, so a file named as one was overwritten.
bool IsTextSector(const uint8_t* bytes, int length);

}  // namespace salvora
