// Every carved-file size rule on arbitrary media. The input's first byte picks the sector size
// (512 or 4,096) and the rule; the rest is the medium, whose first sector is the candidate file's.
// The rules are called directly, so each one meets first sectors its tester would never pass,
// and they read ahead through random pieces, truncated sources and hostile lengths. Every
// structure walk also reads the medium as bytes in memory, as do the content checks that decode a
// JPEG or inflate a PNG, and the search for a JPEG's second piece.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "carving/JpegDecodeCheck.h"
#include "carving/JpegGapSearch.h"
#include "carving/MeasureContext.h"
#include "carving/PngStreamCheck.h"
#include "carving/SizeRules.h"
#include "carving/StructureMeasure.h"
#include "carving/StructureWalks.h"
#include "platform/RawSource.h"
#include "storage/SectorReader.h"

namespace {
using namespace salvora;

const SizeRule kRules[] = {
    SizeBmpLength,        SizeWaveRiffLength, SizeAviRiffLength,  SizeFlashHeader,
    SizeAsfFileProperties, SizeIconDirectory, SizeNextStop128MiB, SizeNextStop256MiB,
    SizeNextStop6GiB,     SizeNextStop64GiB,  SizeJpegEndMarker,  SizeGifTrailer,
    SizePngEndChunk,      SizeMpegEndCode,    SizeRealMediaIndex, SizeMediaTrailerText,
    SizeId3v1Tag,         SizeApeTag,         SizeMidiTracks,     SizeTransportStream,
    // Measured by structure first (control bytes 20 to 37).
    SizeJpegSegments,     SizePngChunks,      SizeGifBlocks,      SizeTiffDirectories,
    SizeMp4Boxes,         SizeQuickTimeBoxes, SizeMp3Frames,      SizePhotoshopSections,
    SizeMatroskaSegment,  SizeFlashVideoTags, SizeMpegPacks,      SizeRealMediaChunks,
    SizeMxfPacks,         SizeZipEndRecord,   SizeGzipStream,     SizeSqlitePages,
    SizePdfLastEof,       SizeFlashMovie,
};

const StructureWalk kWalks[] = {
    WalkJpeg,     WalkPng,       WalkGif,        WalkTiff,        WalkIsoMedia,
    WalkZip,      WalkGzip,      WalkSqlite,     WalkMp3,         WalkPdf,
    WalkPhotoshop, WalkMatroska, WalkFlashVideo, WalkMpegProgram, WalkRealMedia,
    WalkMxf,      WalkFlashMovie, DecodeJpeg,     CheckPngStreams, WalkHeif,
    WalkWebp,     WalkFujifilmRaw, WalkOlympusRaw, WalkPanasonicRaw, WalkFlac,
    WalkOgg,
};

int NoCancel(void*, int, int, int, uint64_t, uint64_t, uint64_t, int) { return 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t control = data[0];
  const int sectorSize = (control & 0x80) ? 4096 : 512;
  const SizeRule rule = kRules[(control & 0x7F) % (sizeof kRules / sizeof kRules[0])];
  std::vector<uint8_t> medium(data + 1, data + size);
  // The reader may claim more sectors than the medium holds: reads past it fail part-way.
  const uint64_t sectors = medium.size() / size_t(sectorSize) + ((control & 0x40) ? 3 : 0);
  medium.resize(std::max<size_t>(medium.size(), size_t(sectorSize)), 0);
  const std::vector<uint8_t> first(medium.begin(), medium.begin() + sectorSize);

  WorkBufferLease lease;
  SectorReader reader;
  reader.Attach(std::make_unique<platform::MemorySource>(medium), sectors);
  MeasureContext& c = MeasureContext::Instance();
  c.reader = &reader;
  c.sectorSize = sectorSize;
  c.startSector = c.sectorUnderTest = 0;
  c.processed = 0;
  c.total = sectors;
  c.strictTransportStream = rule == SizeTransportStream;
  c.bdavInProgress = false;
  c.TransportStreamExtents.clear();
  c.scanCallback = &NoCancel;
  c.lastCallbackAnswer = 0;
  const uint64_t measured = rule(first.data(), sectorSize);
  c.scanCallback = nullptr;
  // A file measured by reading ahead never ends more than a tag's length past the last sector
  // the source claims (an APE footer counts its 32 bytes from where it starts); sizes read from
  // a header are trusted up to their caps.
  const bool declared = rule == SizeBmpLength || rule == SizeWaveRiffLength ||
                        rule == SizeAviRiffLength || rule == SizeFlashHeader ||
                        rule == SizeAsfFileProperties || rule == SizeIconDirectory ||
                        rule == SizeFlashMovie;  // an uncompressed movie keeps its declared size
  if (!declared && measured != kNotCarved &&
      measured > (std::max<uint64_t>(sectors, 1) + 1) * uint64_t(sectorSize))
    std::abort();
  // The walks themselves over the same bytes in memory: a measured file never ends past them.
  for (StructureWalk walk : kWalks) {
    MemoryByteSource source(data + 1, size - 1);
    const WalkResult result = walk(source);
    if (result.ok() && (result.length > size - 1 || result.verifiedTo > result.length)) std::abort();
  }
  // A JPEG's two pieces, looked for in small steps: both lie within the medium, in order.
  MemoryByteSource bytes(data + 1, size - 1);
  JpegGapBounds bounds;
  bounds.step = (control & 0x20) ? 1024 : 512;
  bounds.maxGap = 64 * 1024;
  bounds.maxWalks = 8;
  bounds.maxDecodes = 4;
  if (const auto split = FindJpegContinuation(bytes, size - 1, bounds)) {
    if (split->firstLength == 0 || split->secondOffset < split->firstLength ||
        split->length <= split->firstLength || split->secondOffset + split->SecondLength() > size - 1)
      std::abort();
    // Every piece lies within the medium, past the one before, and they add up to the file.
    uint64_t total = 0, end = 0;
    for (const JpegPiece& piece : split->pieces) {
      if (piece.length == 0 || piece.offset < end || piece.offset + piece.length > size - 1) std::abort();
      end = piece.offset + piece.length;
      total += piece.length;
    }
    if (split->pieces.size() < 2 || split->pieces.size() > JpegSplit::kMaxPieces || total != split->length) std::abort();
  }
  return 0;
}
