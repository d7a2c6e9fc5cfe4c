#pragma once

#include <cstddef>
#include <cstdint>

// Sizes that a format's header declares, read from the file's first bytes without reading ahead.
// Each takes the sector size for the formats whose fallback is "one sector".
namespace salvora {

// bmp, dib: the 32-bit size at 2, capped; 0 for a sector shorter than 6 bytes.
uint64_t BitmapDeclaredSize(const uint8_t* bytes, size_t length);
// wav: the RIFF length at 4 plus the 8-byte chunk header.
uint64_t WaveDeclaredSize(const uint8_t* bytes, size_t length);
// avi: as wav; one sector when the header is shorter than 16 bytes.
uint64_t AviDeclaredSize(const uint8_t* bytes, size_t length, int sectorSize);
// swf: the length at 4 of an uncompressed movie, capped; one sector for a compressed one.
uint64_t FlashDeclaredSize(const uint8_t* bytes, size_t length, int sectorSize);
// wmv, asf, wma: the file size of the file properties object, unless the file is a broadcast
// (its size then means nothing) or the object is missing: one sector.
uint64_t AsfDeclaredSize(const uint8_t* bytes, size_t length, int sectorSize);
// ico: the end of the last image named by the icon directory in bytes (which must hold the whole
// directory); 0 when it does not.
uint64_t IconDirectorySize(const uint8_t* bytes, size_t length);
// True when bytes hold the whole icon directory.
bool HoldsIconDirectory(const uint8_t* bytes, size_t length);

}  // namespace salvora
