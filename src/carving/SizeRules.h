#pragma once

#include <cstdint>

// The size rules of the carvable formats. Each is called with the bytes and length of a candidate
// file's first sector and reads everything else (source, sector size, start sector, progress
// snapshot, callbacks, work buffer) from MeasureContext. It returns the file's size in bytes,
// counted from the start of its first sector, and leaves the scan-progress callback's last answer
// in MeasureContext::lastCallbackAnswer.
namespace salvora {

using SizeRule = uint64_t (*)(const uint8_t* bytes, int length);

// Declared in the header.
uint64_t SizeBmpLength(const uint8_t* bytes, int length);        // bmp, dib
uint64_t SizeWaveRiffLength(const uint8_t* bytes, int length);   // wav
uint64_t SizeAviRiffLength(const uint8_t* bytes, int length);    // avi
uint64_t SizeFlashHeader(const uint8_t* bytes, int length);      // swf
uint64_t SizeAsfFileProperties(const uint8_t* bytes, int length);  // wmv, asf, wma
uint64_t SizeIconDirectory(const uint8_t* bytes, int length);    // ico

// Read ahead to the next stop sector, up to a limit.
uint64_t SizeNextStop128MiB(const uint8_t* bytes, int length);  // psd, tif
uint64_t SizeNextStop256MiB(const uint8_t* bytes, int length);  // mp2, mmf, fla
uint64_t SizeNextStop6GiB(const uint8_t* bytes, int length);    // flv, 3gp, mts, mxf, mov
uint64_t SizeNextStop64GiB(const uint8_t* bytes, int length);   // mkv

// Read ahead with the format's own end search.
uint64_t SizeJpegEndMarker(const uint8_t* bytes, int length);     // jpg
uint64_t SizeGifTrailer(const uint8_t* bytes, int length);        // gif
uint64_t SizePngEndChunk(const uint8_t* bytes, int length);       // png
uint64_t SizeMpegEndCode(const uint8_t* bytes, int length);       // mpeg
uint64_t SizeRealMediaIndex(const uint8_t* bytes, int length);    // rmvb
uint64_t SizeMediaTrailerText(const uint8_t* bytes, int length);  // mp4
uint64_t SizeId3v1Tag(const uint8_t* bytes, int length);          // mp3
uint64_t SizeApeTag(const uint8_t* bytes, int length);            // ape
uint64_t SizeMidiTracks(const uint8_t* bytes, int length);        // mid
uint64_t SizeTransportStream(const uint8_t* bytes, int length);   // ts

}  // namespace salvora
