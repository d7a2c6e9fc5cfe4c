#include "carving/MeasureContext.h"
#include "carving/ScanSizeRule.h"
#include "carving/SectorByteSource.h"
#include "carving/SizeLimits.h"
#include "carving/SizeRules.h"
#include "carving/StructureMeasure.h"
#include "carving/StructureWalks.h"

namespace salvora {

uint64_t SizeJpegSegments(const uint8_t* bytes, int length) {
  return MeasureByStructure(WalkJpeg, kPictureLimit, bytes, length, SizeJpegEndMarker);
}

uint64_t SizePngChunks(const uint8_t* bytes, int length) {
  return MeasureByStructure(WalkPng, kPictureLimit, bytes, length, SizePngEndChunk);
}

uint64_t SizeGifBlocks(const uint8_t* bytes, int length) {
  return MeasureByStructure(WalkGif, kPictureLimit, bytes, length, SizeGifTrailer);
}

uint64_t SizeTiffDirectories(const uint8_t* bytes, int length) {
  return MeasureByStructure(WalkTiff, kPictureLimit, bytes, length, SizeNextStop128MiB);
}

uint64_t SizeMp4Boxes(const uint8_t* bytes, int length) {
  return MeasureByStructure(WalkIsoMedia, kVideoLimit, bytes, length, SizeMediaTrailerText);
}

uint64_t SizeQuickTimeBoxes(const uint8_t* bytes, int length) {
  return MeasureByStructure(WalkIsoMedia, kVideoLimit, bytes, length, SizeNextStop6GiB);
}

uint64_t SizeMp3Frames(const uint8_t* bytes, int length) {
  return MeasureByStructure(WalkMp3, kAudioLimit, bytes, length, SizeId3v1Tag);
}

uint64_t SizePhotoshopSections(const uint8_t* bytes, int length) {
  return MeasureByStructure(WalkPhotoshop, kPictureLimit, bytes, length, SizeNextStop128MiB);
}

uint64_t SizeMatroskaSegment(const uint8_t* bytes, int length) {
  return MeasureByStructure(WalkMatroska, kStreamLimit, bytes, length, SizeNextStop64GiB);
}

uint64_t SizeFlashVideoTags(const uint8_t* bytes, int length) {
  return MeasureByStructure(WalkFlashVideo, kVideoLimit, bytes, length, SizeNextStop6GiB);
}

uint64_t SizeMpegPacks(const uint8_t* bytes, int length) {
  return MeasureByStructure(WalkMpegProgram, kVideoLimit, bytes, length, SizeMpegEndCode,
                            StopVariant::KeepMpegProgramStream);
}

uint64_t SizeRealMediaChunks(const uint8_t* bytes, int length) {
  return MeasureByStructure(WalkRealMedia, kVideoLimit, bytes, length, SizeRealMediaIndex);
}

uint64_t SizeMxfPacks(const uint8_t* bytes, int length) {
  return MeasureByStructure(WalkMxf, kVideoLimit, bytes, length, SizeNextStop6GiB);
}

uint64_t SizeFlashMovie(const uint8_t* bytes, int length) {
  return MeasureByStructure(WalkFlashMovie, kFlashCap, bytes, length, SizeFlashHeader);
}

uint64_t SizeHeifBoxes(const uint8_t* bytes, int length) {
  return MeasureByStructure(WalkHeif, kPictureLimit, bytes, length, SizeNextStop128MiB);
}

uint64_t SizeCr3Boxes(const uint8_t* bytes, int length) {
  return MeasureByStructure(WalkIsoMedia, kPictureLimit, bytes, length, SizeNextStop128MiB);
}

uint64_t SizeM4aBoxes(const uint8_t* bytes, int length) {
  return MeasureByStructure(WalkIsoMedia, kAudioLimit, bytes, length, SizeNextStop256MiB);
}

uint64_t SizeWebpChunks(const uint8_t* bytes, int length) {
  return MeasureByStructure(WalkWebp, kPictureLimit, bytes, length, SizeNextStop128MiB);
}

uint64_t SizeFujifilmRaw(const uint8_t* bytes, int length) {
  return MeasureByStructure(WalkFujifilmRaw, kPictureLimit, bytes, length, SizeNextStop128MiB);
}

uint64_t SizeOlympusRaw(const uint8_t* bytes, int length) {
  return MeasureByStructure(WalkOlympusRaw, kPictureLimit, bytes, length, SizeNextStop128MiB);
}

uint64_t SizePanasonicRaw(const uint8_t* bytes, int length) {
  return MeasureByStructure(WalkPanasonicRaw, kPictureLimit, bytes, length, SizeNextStop128MiB);
}

uint64_t SizeOggPages(const uint8_t* bytes, int length) {
  return MeasureByStructure(WalkOgg, kAudioLimit, bytes, length, SizeNextStop256MiB);
}

// Without a frame that decodes, a FLAC stream has no end to trust.
uint64_t SizeFlacFrames(const uint8_t* bytes, int length) {
  return MeasureByStructure(WalkFlac, kAudioLimit, bytes, length, nullptr);
}

uint64_t SizeZipEndRecord(const uint8_t* bytes, int length) {
  return MeasureByStructure(WalkZip, kArchiveLimit, bytes, length, nullptr);
}

uint64_t SizeGzipStream(const uint8_t* bytes, int length) {
  return MeasureByStructure(WalkGzip, kArchiveLimit, bytes, length, nullptr);
}

uint64_t SizeSqlitePages(const uint8_t* bytes, int length) {
  return MeasureByStructure(WalkSqlite, kDatabaseLimit, bytes, length, nullptr);
}

// A PDF may hold several %%EOF lines (incremental updates, a linearized first page); the last one
// before the next stop sector ends it.
uint64_t SizePdfLastEof(const uint8_t*, int) {
  MeasureContext& context = MeasureContext::Instance();
  EndSearch none;
  const uint64_t stop = ScanSizeRule(kDocumentLimit, none);
  if (context.lastCallbackAnswer != 0) return stop;
  SectorByteSource source(stop);
  const WalkResult result = WalkPdf(source);
  context.lastWalk = result;
  return result.ok() ? result.length : kNotCarved;
}

}  // namespace salvora
