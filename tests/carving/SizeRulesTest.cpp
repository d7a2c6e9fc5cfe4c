#include "carving/SizeRules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "carving/MeasureContext.h"
#include "carving/SizeLimits.h"
#include "platform/ErrorCodes.h"
#include "platform/RawSource.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using Bytes = std::vector<uint8_t>;

void Put(Bytes& image, size_t at, const std::string& text) {
  if (image.size() < at + text.size()) image.resize(at + text.size());
  std::memcpy(image.data() + at, text.data(), text.size());
}
void PutBe32(Bytes& image, size_t at, uint32_t v) {
  Put(image, at, std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)});
}
void PutLe32(Bytes& image, size_t at, uint32_t v) {
  Put(image, at, std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)});
}

const std::string kJpegHead("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01", 16);
const std::string kPngHead("\x89PNG\r\n\x1a\n\x00\x00\x00\x0dIHDR", 16);
const std::string kIend("IEND\xAE\x42\x60\x82", 8);

struct Progress {
  int calls = 0;
  int cancelAt = 0;  // answer -9527 on this call (1-based); 0 never
  int answer = kScanCancelled;
  int lastPercent = 0, lastMode = 0;
  uint64_t lastProcessed = 0, lastTotal = 0, lastFound = 0;
};

int OnProgress(void* user, int percent, int mode, int, uint64_t processed, uint64_t total,
               uint64_t found, int) {
  auto* p = static_cast<Progress*>(user);
  ++p->calls;
  p->lastPercent = percent;
  p->lastMode = mode;
  p->lastProcessed = processed;
  p->lastTotal = total;
  p->lastFound = found;
  return p->calls == p->cancelAt ? p->answer : 0;
}

// Runs a size rule on an image held in memory, as IdentifyAndMeasure sets the context up.
class SizeRuleTest : public ::testing::Test {
 protected:
  void TearDown() override {
    MeasureContext& c = MeasureContext::Instance();
    c.scanCallback = nullptr;
    c.callbackContext = nullptr;
    c.reader = nullptr;
    c.TransportStreamExtents.clear();
    c.strictTransportStream = false;
  }

  uint64_t Measure(SizeRule rule, Bytes image, uint64_t start = 0, int sectorSize = 512,
                   Progress* progress = nullptr) {
    image.resize((image.size() + sectorSize - 1) / sectorSize * sectorSize);
    const uint64_t sectors = image.size() / sectorSize;
    reader_.Attach(std::make_unique<platform::MemorySource>(image), sectors);
    MeasureContext& c = MeasureContext::Instance();
    c.sectorSize = sectorSize;
    c.reader = &reader_;
    c.startSector = start;
    c.sectorUnderTest = start;
    c.processed = 1000;
    c.total = total_;
    c.remainingSeconds = 42;
    c.foundCount = 7;
    c.scanCallback = progress ? &OnProgress : nullptr;
    c.callbackContext = progress;
    c.mode = 90;
    c.lastCallbackAnswer = 0;
    first_.assign(image.begin() + start * sectorSize, image.begin() + (start + 1) * sectorSize);
    return rule(first_.data(), sectorSize);
  }

  uint64_t total_ = 100000;  // sectors the sweep plans to cover
  WorkBufferLease lease_;
  SectorReader reader_;
  Bytes first_;
};

TEST_F(SizeRuleTest, DeclaredSizesAndTheirCaps) {
  Bytes bmp(512);
  Put(bmp, 0, "BM");
  PutLe32(bmp, 2, 200000000);
  EXPECT_EQ(Measure(&SizeBmpLength, bmp), 134217728u);
  PutLe32(bmp, 2, 134217727);
  EXPECT_EQ(Measure(&SizeBmpLength, bmp), 134217727u);
  EXPECT_EQ(SizeBmpLength(bmp.data(), 5), 0u);

  Bytes swf(512);
  Put(swf, 0, "FWS\x04");
  PutLe32(swf, 4, 300000000);
  EXPECT_EQ(Measure(&SizeFlashHeader, swf), 268435456u);
  PutLe32(swf, 4, 12345);
  EXPECT_EQ(Measure(&SizeFlashHeader, swf), 12345u);
  Put(swf, 0, "CWS\x0a");
  EXPECT_EQ(Measure(&SizeFlashHeader, swf), 512u);  // compressed: its length means nothing here

  Bytes wav(512);
  Put(wav, 0, "RIFF");
  PutLe32(wav, 4, 10000000 - 8);
  Put(wav, 8, "WAVEfmt ");
  EXPECT_EQ(Measure(&SizeWaveRiffLength, wav), 10000000u);
  PutLe32(wav, 4, 0xFFFFFFFF);  // no 32-bit overflow
  EXPECT_EQ(Measure(&SizeWaveRiffLength, wav), 0xFFFFFFFFull + 8);

  Bytes avi(512);
  Put(avi, 0, "RIFF");
  PutLe32(avi, 4, 5000);
  EXPECT_EQ(Measure(&SizeAviRiffLength, avi), 5008u);
  EXPECT_EQ(SizeAviRiffLength(avi.data(), 15), 512u);
}

TEST_F(SizeRuleTest, AsfFilePropertiesObject) {
  const std::string header("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
  const std::string properties("\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65", 16);
  Bytes asf(512);
  Put(asf, 0, header);
  Put(asf, 100, properties);
  PutLe32(asf, 140, 777777);  // file size, low half
  EXPECT_EQ(Measure(&SizeAsfFileProperties, asf), 777777u);
  PutLe32(asf, 144, 1);  // upper half set
  EXPECT_EQ(Measure(&SizeAsfFileProperties, asf), 268435456u);
  PutLe32(asf, 144, 0);
  PutLe32(asf, 140, 268435456);
  EXPECT_EQ(Measure(&SizeAsfFileProperties, asf), 268435456u);
  PutLe32(asf, 188, 1);  // broadcast: the size field is not valid
  EXPECT_EQ(Measure(&SizeAsfFileProperties, asf), 512u);
  Bytes late(512);
  Put(late, 0, header);
  Put(late, 480, properties);  // flags would lie beyond the sector
  EXPECT_EQ(Measure(&SizeAsfFileProperties, late), 512u);
}

TEST_F(SizeRuleTest, IconDirectoryEndsAfterTheLastImage) {
  Bytes ico(512);
  Put(ico, 0, std::string("\x00\x00\x01\x00\x02\x00", 6));
  PutLe32(ico, 6 + 8, 1000);   // image 1 size
  PutLe32(ico, 6 + 12, 38);    // image 1 offset
  PutLe32(ico, 22 + 8, 2000);  // image 2 size
  PutLe32(ico, 22 + 12, 1038);
  EXPECT_EQ(Measure(&SizeIconDirectory, ico), 3038u);
}

TEST_F(SizeRuleTest, JpegEndInsideTheFirstSector) {
  Bytes jpeg(4096);
  Put(jpeg, 0, kJpegHead);
  Put(jpeg, 298, "\xFF\xD9");
  EXPECT_EQ(Measure(&SizeJpegEndMarker, jpeg), 300u);
  // A non-zero byte after the marker: the first sector holds no end; reading ahead finds none
  // either and the file runs to the end of the source.
  jpeg[400] = 1;
  EXPECT_EQ(Measure(&SizeJpegEndMarker, jpeg), 4096u);
  // An end marker that closes its sector exactly is clean.
  Put(jpeg, 2048 - 2, "\xFF\xD9");
  EXPECT_EQ(Measure(&SizeJpegEndMarker, jpeg), 2048u);
}

TEST_F(SizeRuleTest, JpegFollowedByPngInItsSectorForty) {
  Bytes image(100 * 512);
  Put(image, 0, kJpegHead);
  Put(image, 40 * 512, kPngHead);
  // No clean end: the file ends where the PNG starts.
  Put(image, 1000, "\xFF\xD9\x01");
  EXPECT_EQ(Measure(&SizeJpegEndMarker, image), 40u * 512);
  // The first FF D9 read ahead, clean and before the PNG, is the end.
  image[1002] = 0;
  EXPECT_EQ(Measure(&SizeJpegEndMarker, image), 1002u);
  // Only the first FF D9 of a piece counts: an earlier unclean one hides a later clean one.
  Put(image, 900, "\xFF\xD9\x05");
  EXPECT_EQ(Measure(&SizeJpegEndMarker, image), 40u * 512);
  // A clean end inside the PNG (beyond the stop sector) is not the JPEG's end.
  Bytes beyond(100 * 512);
  Put(beyond, 0, kJpegHead);
  Put(beyond, 40 * 512, kPngHead);
  Put(beyond, 45 * 512 - 2, "\xFF\xD9");
  EXPECT_EQ(Measure(&SizeJpegEndMarker, beyond), 40u * 512);
}

TEST_F(SizeRuleTest, JpegEndFoundInALaterPiece) {
  Bytes image(400 * 512);
  Put(image, 0, kJpegHead);
  Put(image, 300 * 512 + 10, "\xFF\xD9");  // piece 3 (sectors 257..384)
  Put(image, 350 * 512, kPngHead);
  EXPECT_EQ(Measure(&SizeJpegEndMarker, image), 300u * 512 + 12);
}

TEST_F(SizeRuleTest, NextJpegInALaterPieceDoesNotReplaceTheEndAlreadyFound) {
  // A small picture, zeros for many pieces, then the next picture: the first ends at its marker.
  Bytes image(2000 * 512);
  Put(image, 0, kJpegHead);
  Put(image, 700, "\xFF\xD9");
  Put(image, 1600 * 512, kJpegHead);
  Put(image, 1601 * 512 + 100, "\xFF\xD9");
  EXPECT_EQ(Measure(&SizeJpegEndMarker, image), 702u);
}

TEST_F(SizeRuleTest, PngAndGifTakeTheFirstCleanMarker) {
  Bytes png(200 * 512);
  Put(png, 0, kPngHead);
  Put(png, 3000, kIend + "junk");           // not clean
  Put(png, 70000, kIend);                   // clean, in the second piece
  EXPECT_EQ(Measure(&SizePngEndChunk, png), 70008u);
  // A clean end in the same piece as a stop sector still ends the file there.
  Bytes both(200 * 512);
  Put(both, 0, kPngHead);
  Put(both, 20 * 512, kJpegHead);
  Put(both, 30 * 512 - 8, kIend);
  EXPECT_EQ(Measure(&SizePngEndChunk, both), 30u * 512);

  Bytes gif(20 * 512);
  Put(gif, 0, "GIF89a");
  Put(gif, 100, std::string("\x00\x3B", 2));  // in the first sector, but followed by data
  gif[200] = 9;
  Put(gif, 5 * 512 + 100, std::string("\x00\x3B", 2));
  EXPECT_EQ(Measure(&SizeGifTrailer, gif), 5u * 512 + 102);
  gif[200] = 0;
  EXPECT_EQ(Measure(&SizeGifTrailer, gif), 102u);
}

TEST_F(SizeRuleTest, MpegProgramStreamIsNotStoppedByItsOwnPacks) {
  Bytes mpeg(300 * 512);
  for (size_t s = 0; s < 300; s += 3) Put(mpeg, s * 512, std::string("\x00\x00\x01\xBA\x44", 5));
  Put(mpeg, 200 * 512 + 20, std::string("\x00\x00\x01\xB9", 4));
  EXPECT_EQ(Measure(&SizeMpegEndCode, mpeg), 200u * 512 + 24);
  // A video elementary stream ends with the sequence end code instead.
  Bytes video(300 * 512);
  Put(video, 0, std::string("\x00\x00\x01\xB3", 4));
  Put(video, 50 * 512 - 4, std::string("\x00\x00\x01\xB9", 4));
  Put(video, 80 * 512 - 4, std::string("\x00\x00\x01\xB7", 4));
  EXPECT_EQ(Measure(&SizeMpegEndCode, video), 80u * 512);
}

TEST_F(SizeRuleTest, TrailerSearches) {
  Bytes rm(100 * 512);
  Put(rm, 0, ".RMF");
  const std::string index("INDX\x00\x00\x00\x14\x00\x00\x00\x00\x00\x00\x00\x02\x00\x00\x00\x00", 20);
  Put(rm, 9000, index);
  EXPECT_EQ(Measure(&SizeRealMediaIndex, rm), 9020u);

  Bytes mp4(100 * 512);
  Put(mp4, 4, "ftypisom");
  Put(mp4, 20000, std::string("freeIsoMedia File Produced with GPAC") + '\0' + "x");
  EXPECT_EQ(Measure(&SizeMediaTrailerText, mp4), 20000u + 36);

  Bytes ape(100 * 512);
  Put(ape, 0, "MAC ");
  const std::string tag("APETAGEX\xD0\x07", 10);
  Put(ape, 6000, tag);
  Put(ape, 6100, tag);
  EXPECT_EQ(Measure(&SizeApeTag, ape), 6132u);
  Bytes headerOnly(300 * 512);
  Put(headerOnly, 0, "MAC ");
  Put(headerOnly, 6000, tag);
  EXPECT_EQ(Measure(&SizeApeTag, headerOnly), 512u + 65536);  // the piece that holds it

  Bytes mp3(300 * 512);
  Put(mp3, 0, "ID3\x03");
  Put(mp3, 3000, "TAG");  // an earlier match is replaced by the one of a later piece
  Put(mp3, 100000, "TAG");
  Put(mp3, 250 * 512, kJpegHead);
  EXPECT_EQ(Measure(&SizeId3v1Tag, mp3), 100128u);
}

TEST_F(SizeRuleTest, MidiCountsEveryTrackIncludingTheFirst) {
  // One track inside the first sector.
  Bytes one(20 * 512);
  Put(one, 0, "MThd");
  PutBe32(one, 4, 6);
  Put(one, 8, std::string("\x00\x00\x00\x01\x00\x60", 6));
  Put(one, 14, "MTrk");
  PutBe32(one, 18, 100);
  EXPECT_EQ(Measure(&SizeMidiTracks, one), 14u + 8 + 100);

  // Three tracks, the last ending in the third piece.
  Bytes three(400 * 512);
  Put(three, 0, "MThd");
  PutBe32(three, 4, 6);
  Put(three, 8, std::string("\x00\x01\x00\x03\x00\x60", 6));
  Put(three, 14, "MTrk");
  PutBe32(three, 18, 1000);
  Put(three, 1022, "MTrk");
  PutBe32(three, 1026, 70000);
  Put(three, 71030, "MTrk");
  PutBe32(three, 71034, 80000);
  EXPECT_EQ(Measure(&SizeMidiTracks, three), 151038u);
}

TEST_F(SizeRuleTest, TransportStreamOfAThousandPacketsAndItsExtent) {
  Bytes ts(1000 * 188 + 100 * 512);
  for (size_t i = 0; i < 1000; ++i) {
    ts[i * 188] = 0x47;
    ts[i * 188 + 1] = 0x01;
  }
  Put(ts, 1000 * 188 + 5 * 512, kJpegHead);  // not on a sector boundary: not a stop
  // As IdentifyAndMeasure leaves it for a stream: packets that continue it are no new file.
  MeasureContext::Instance().strictTransportStream = true;
  uint64_t size = Measure(&SizeTransportStream, ts, 0);
  EXPECT_EQ(size, 188000u);
  const auto& extents = MeasureContext::Instance().TransportStreamExtents;
  ASSERT_EQ(extents.size(), 1u);
  EXPECT_EQ(extents[0].first, 0u);
  EXPECT_EQ(extents[0].last, (188000u + 511) / 512 - 1);
}

TEST_F(SizeRuleTest, ProgressOncePerPieceAndCancel) {
  Bytes image(1000 * 512);
  Put(image, 0, kJpegHead);
  Put(image, 600 * 512, kPngHead);
  Progress progress;
  EXPECT_EQ(Measure(&SizeJpegEndMarker, image, 0, 512, &progress), 600u * 512);
  EXPECT_EQ(progress.calls, 5);  // 128-sector pieces up to sector 640
  EXPECT_EQ(progress.lastMode, 90);
  EXPECT_EQ(progress.lastProcessed, 1000u + 640);
  EXPECT_EQ(progress.lastTotal, 100000u);
  EXPECT_EQ(progress.lastFound, 7u);
  EXPECT_EQ(progress.lastPercent, int(1640 * 100 / 100000) + 10);
  EXPECT_EQ(MeasureContext::Instance().lastCallbackAnswer, 0);

  Progress cancel;
  cancel.cancelAt = 3;
  EXPECT_EQ(Measure(&SizeJpegEndMarker, image, 0, 512, &cancel), 512u + 2 * 65536);
  EXPECT_EQ(cancel.calls, 3);
  EXPECT_EQ(MeasureContext::Instance().lastCallbackAnswer, kScanCancelled);

  Progress stop;  // any other answer also ends the measurement, keeping what was found
  stop.cancelAt = 2;
  stop.answer = 1;
  EXPECT_EQ(Measure(&SizeJpegEndMarker, image, 0, 512, &stop), 512u + 65536);
  EXPECT_EQ(MeasureContext::Instance().lastCallbackAnswer, 1);
}

TEST_F(SizeRuleTest, ReadingPastTheSweptTotalReportsNoMoreThanTheTotal) {
  Bytes image(1000 * 512);
  Put(image, 0, kJpegHead);
  Put(image, 600 * 512, kPngHead);
  total_ = 1200;  // the sweep is at sector 1000 of 1200; the file reads 640 sectors further
  Progress progress;
  EXPECT_EQ(Measure(&SizeJpegEndMarker, image, 0, 512, &progress), 600u * 512);
  EXPECT_EQ(progress.lastProcessed, 1200u);
  EXPECT_EQ(progress.lastPercent, 110);
}

TEST_F(SizeRuleTest, FileRunningIntoTheEndOfTheSourceKeepsItsLastSectors) {
  Bytes image(300 * 512);  // 299 sectors after the first: two whole pieces and 43 sectors
  Put(image, 0, kJpegHead);
  EXPECT_EQ(Measure(&SizeJpegEndMarker, image), 300u * 512);
  Put(image, 290 * 512 + 100, "\xFF\xD9");  // the end lies in the short last piece
  EXPECT_EQ(Measure(&SizeJpegEndMarker, image), 290u * 512 + 102);
  // Started near the end: a file of its first sector and the one after it.
  EXPECT_EQ(Measure(&SizeNextStop128MiB, image, 298), 2u * 512);
}

TEST_F(SizeRuleTest, StopAtMetadataSector) {
  Bytes image(100 * 512);
  Put(image, 0, "8BPS");
  Put(image, 33 * 512, "FILE0");
  EXPECT_EQ(Measure(&SizeNextStop128MiB, image), 33u * 512);
}

TEST(SizeRuleLimits, FourKibSectorsReadSixteenSectorPiecesUpTo128MiB) {
  // A sparse file of zeros larger than the limit: a JPEG without an end stops at 32,768 sectors.
  test::TempDir dir;
  const std::string path = dir.File("zeros.img");
  ASSERT_EQ(test::RunCommand("truncate -s 130M '" + path + "'"), 0);
  auto file = std::make_unique<platform::FileSource>();
  ASSERT_EQ(file->Open(path), 0);
  SectorReader reader;
  reader.Attach(std::move(file), 130 * 256);
  WorkBufferLease lease;
  MeasureContext& c = MeasureContext::Instance();
  c.sectorSize = 4096;
  c.reader = &reader;
  c.startSector = 0;
  c.sectorUnderTest = 0;
  c.processed = 0;
  c.total = 130 * 256;
  Progress progress;
  c.scanCallback = &OnProgress;
  c.callbackContext = &progress;
  Bytes first(4096);
  std::memcpy(first.data(), kJpegHead.data(), kJpegHead.size());
  // The limit counts the sectors read ahead; the first sector comes on top.
  EXPECT_EQ(SizeJpegEndMarker(first.data(), 4096), 4096 + kPictureLimit);
  EXPECT_EQ(progress.calls, 32768 / 16);
  EXPECT_EQ(progress.lastProcessed, 32768u);
  c.scanCallback = nullptr;
  c.reader = nullptr;
}

}  // namespace
}  // namespace salvora
