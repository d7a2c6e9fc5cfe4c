#include "carving/SizeRules.h"

#include "carving/MeasureContext.h"

// Interim rules: every carved file measures one sector until the reading-ahead rules replace this
// file.
namespace salvora {
namespace {
uint64_t OneSector(const uint8_t*, int) { return uint64_t(MeasureContext::Instance().sectorSize); }
}  // namespace

uint64_t SizeBmpLength(const uint8_t* b, int n) { return OneSector(b, n); }
uint64_t SizeWaveRiffLength(const uint8_t* b, int n) { return OneSector(b, n); }
uint64_t SizeAviRiffLength(const uint8_t* b, int n) { return OneSector(b, n); }
uint64_t SizeFlashHeader(const uint8_t* b, int n) { return OneSector(b, n); }
uint64_t SizeAsfFileProperties(const uint8_t* b, int n) { return OneSector(b, n); }
uint64_t SizeIconDirectory(const uint8_t* b, int n) { return OneSector(b, n); }
uint64_t SizeNextStop128MiB(const uint8_t* b, int n) { return OneSector(b, n); }
uint64_t SizeNextStop256MiB(const uint8_t* b, int n) { return OneSector(b, n); }
uint64_t SizeNextStop6GiB(const uint8_t* b, int n) { return OneSector(b, n); }
uint64_t SizeNextStop64GiB(const uint8_t* b, int n) { return OneSector(b, n); }
uint64_t SizeJpegEndMarker(const uint8_t* b, int n) { return OneSector(b, n); }
uint64_t SizeGifTrailer(const uint8_t* b, int n) { return OneSector(b, n); }
uint64_t SizePngEndChunk(const uint8_t* b, int n) { return OneSector(b, n); }
uint64_t SizeMpegEndCode(const uint8_t* b, int n) { return OneSector(b, n); }
uint64_t SizeRealMediaIndex(const uint8_t* b, int n) { return OneSector(b, n); }
uint64_t SizeMediaTrailerText(const uint8_t* b, int n) { return OneSector(b, n); }
uint64_t SizeId3v1Tag(const uint8_t* b, int n) { return OneSector(b, n); }
uint64_t SizeApeTag(const uint8_t* b, int n) { return OneSector(b, n); }
uint64_t SizeMidiTracks(const uint8_t* b, int n) { return OneSector(b, n); }
uint64_t SizeTransportStream(const uint8_t* b, int n) { return OneSector(b, n); }

}  // namespace salvora
