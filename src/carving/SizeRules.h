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

// Measured by the file's own structure first (see StructureMeasure.h); when the structure does
// not hold, by the rule named.
uint64_t SizeJpegSegments(const uint8_t* bytes, int length);   // jpg; SizeJpegEndMarker
uint64_t SizePngChunks(const uint8_t* bytes, int length);      // png; SizePngEndChunk
uint64_t SizeGifBlocks(const uint8_t* bytes, int length);      // gif; SizeGifTrailer
uint64_t SizeTiffDirectories(const uint8_t* bytes, int length);  // tif; SizeNextStop128MiB
uint64_t SizeMp4Boxes(const uint8_t* bytes, int length);       // mp4; SizeMediaTrailerText
uint64_t SizeQuickTimeBoxes(const uint8_t* bytes, int length);  // mov, 3gp; SizeNextStop6GiB
uint64_t SizeMp3Frames(const uint8_t* bytes, int length);      // mp3; SizeId3v1Tag
uint64_t SizePhotoshopSections(const uint8_t* bytes, int length);  // psd; SizeNextStop128MiB
uint64_t SizeMatroskaSegment(const uint8_t* bytes, int length);  // mkv; SizeNextStop64GiB
uint64_t SizeFlashVideoTags(const uint8_t* bytes, int length);   // flv; SizeNextStop6GiB
uint64_t SizeMpegPacks(const uint8_t* bytes, int length);        // mpeg; SizeMpegEndCode
uint64_t SizeRealMediaChunks(const uint8_t* bytes, int length);  // rmvb; SizeRealMediaIndex
uint64_t SizeMxfPacks(const uint8_t* bytes, int length);         // mxf; SizeNextStop6GiB
uint64_t SizeFlashMovie(const uint8_t* bytes, int length);       // swf; SizeFlashHeader
uint64_t SizeHeifBoxes(const uint8_t* bytes, int length);        // heic, avif; SizeNextStop128MiB
uint64_t SizeCr3Boxes(const uint8_t* bytes, int length);         // cr3; SizeNextStop128MiB
uint64_t SizeM4aBoxes(const uint8_t* bytes, int length);         // m4a; SizeNextStop256MiB
uint64_t SizeWebpChunks(const uint8_t* bytes, int length);       // webp; SizeNextStop128MiB
uint64_t SizeFujifilmRaw(const uint8_t* bytes, int length);      // raf; SizeNextStop128MiB
uint64_t SizeOlympusRaw(const uint8_t* bytes, int length);       // orf; SizeNextStop128MiB
uint64_t SizePanasonicRaw(const uint8_t* bytes, int length);     // rw2; SizeNextStop128MiB
uint64_t SizeOggPages(const uint8_t* bytes, int length);         // ogg, opus; SizeNextStop256MiB

// Carved only when their structure measures them.
uint64_t SizeZipEndRecord(const uint8_t* bytes, int length);   // zip and office packages
uint64_t SizeGzipStream(const uint8_t* bytes, int length);     // gz
uint64_t SizeSqlitePages(const uint8_t* bytes, int length);    // db
uint64_t SizeFlacFrames(const uint8_t* bytes, int length);     // flac
uint64_t SizePdfLastEof(const uint8_t* bytes, int length);     // pdf, up to the next stop sector

}  // namespace salvora
