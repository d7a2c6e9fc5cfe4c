// The content checks that decode a file: JPEG entropy data through libjpeg-turbo, PNG chunks and
// their zlib stream. Real files from the exact-carving fixture, damaged the ways a medium damages
// them.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <zlib.h>

#include "carving/JpegDecodeCheck.h"
#include "carving/PngStreamCheck.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Planted(const std::string& name) {
  return test::ReadFileBytes(test::FixturePath("exactcarve/files/" + name));
}

WalkResult Check(WalkResult (*check)(ByteSource&), const Bytes& b) {
  MemoryByteSource source(b.data(), b.size());
  return check(source);
}

// Hands the bytes out a few hundred at a time, as a medium read piece by piece does.
class ChoppedSource : public MemoryByteSource {
 public:
  using MemoryByteSource::MemoryByteSource;
  const uint8_t* Window(uint64_t offset, size_t& available) override {
    const uint8_t* p = MemoryByteSource::Window(offset, available);
    available = std::min<size_t>(available, 333);
    return p;
  }
};

void Scribble(Bytes& b, size_t at, size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  for (size_t i = at; i < at + n && i < b.size(); ++i) b[i] = uint8_t(rng());
}

TEST(JpegDecodeCheck, IntactPicturesMeasureToTheirEndMarkerWhateverFollows) {
  for (const char* name : {"plain.jpg", "exif.jpg", "progressive.jpg"}) {
    SCOPED_TRACE(name);
    Bytes jpeg = Planted(name);
    const size_t length = jpeg.size();
    Bytes tail(5000);
    Scribble(tail, 0, tail.size(), 3);
    jpeg.insert(jpeg.end(), tail.begin(), tail.end());
    const WalkResult r = Check(DecodeJpeg, jpeg);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.length, length);
    ChoppedSource chopped(jpeg.data(), jpeg.size());
    const WalkResult pieces = DecodeJpeg(chopped);
    ASSERT_TRUE(pieces.ok());
    EXPECT_EQ(pieces.length, length);
  }
}

TEST(JpegDecodeCheck, OverwrittenMiddleBreaksAtTheRowHoldingTheDamage) {
  const Bytes good = Planted("plain.jpg");
  const size_t damage = good.size() / 2;
  Bytes bad = good;
  Scribble(bad, damage, 4096, 11);
  const WalkResult r = Check(DecodeJpeg, bad);
  ASSERT_EQ(r.outcome, WalkResult::Outcome::Broken);
  // At the start of the row of blocks that holds the first bad byte: not after the damage, and
  // not further back than a row's worth of data (the picture has far more than 16 rows).
  EXPECT_LE(r.length, damage);
  EXPECT_GT(r.length, damage - good.size() / 16);
}

TEST(JpegDecodeCheck, CutShortOrHostileHeadersBreakOrAreDeclinedWithoutCrashing) {
  const Bytes good = Planted("progressive.jpg");
  const Bytes cut(good.begin(), good.begin() + long(good.size() * 2 / 3));
  const WalkResult r = Check(DecodeJpeg, cut);
  ASSERT_EQ(r.outcome, WalkResult::Outcome::Broken);
  EXPECT_LE(r.length, cut.size());

  // A frame header claiming 60000 x 60000 pixels is refused before anything is decoded.
  Bytes huge = Planted("plain.jpg");
  for (size_t i = 2; i + 9 < huge.size(); ++i) {
    if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
      huge[i + 5] = huge[i + 7] = 0xEA;
      huge[i + 6] = huge[i + 8] = 0x60;
      break;
    }
  }
  EXPECT_EQ(Check(DecodeJpeg, huge).outcome, WalkResult::Outcome::NoStructure);
  EXPECT_EQ(Check(DecodeJpeg, Bytes{0xFF, 0xD8}).outcome, WalkResult::Outcome::Broken);
  EXPECT_EQ(Check(DecodeJpeg, Bytes{0x89, 'P', 'N', 'G'}).outcome, WalkResult::Outcome::NoStructure);
}

// Rewrites the CRC of the chunk at `chunk` so that only the damage inside it remains.
void FixCrc(Bytes& png, size_t chunk) {
  const uint32_t length = uint32_t(png[chunk]) << 24 | png[chunk + 1] << 16 | png[chunk + 2] << 8 | png[chunk + 3];
  const uint32_t crc = uint32_t(crc32(0, png.data() + chunk + 4, 4 + length));
  for (int i = 0; i < 4; ++i) png[chunk + 8 + length + i] = uint8_t(crc >> (24 - 8 * i));
}

size_t FirstIdat(const Bytes& png) {
  for (size_t at = 8; at + 8 < png.size();) {
    const uint32_t length = uint32_t(png[at]) << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
    if (std::string(png.begin() + long(at) + 4, png.begin() + long(at) + 8) == "IDAT") return at;
    at += 12 + length;
  }
  return 0;
}

TEST(PngStreamCheck, ChecksChunkCrcsAndTheImageDataStream) {
  const Bytes good = Planted("picture.png");
  const WalkResult intact = Check(CheckPngStreams, good);
  ASSERT_TRUE(intact.ok());
  EXPECT_EQ(intact.length, good.size());

  const size_t idat = FirstIdat(good);
  ASSERT_GT(idat, 0u);
  Bytes badCrc = good;
  badCrc[idat + 100] ^= 0x40;
  const WalkResult crc = Check(CheckPngStreams, badCrc);
  ASSERT_EQ(crc.outcome, WalkResult::Outcome::Broken);
  EXPECT_EQ(crc.length, idat);

  // Damage a medium cannot betray by the CRC: a chunk whose CRC was written over bad data.
  Bytes badStream = good;
  Scribble(badStream, idat + 2000, 300, 5);
  FixCrc(badStream, idat);
  const WalkResult stream = Check(CheckPngStreams, badStream);
  ASSERT_EQ(stream.outcome, WalkResult::Outcome::Broken);
  EXPECT_GE(stream.length, idat + 2000);
  EXPECT_LE(stream.length, idat + 2300 + 16384);

  // Rows missing at the end: the stream is whole but shorter than the header's picture.
  Bytes shortHeader = good;
  shortHeader[20 + 1] ^= 0x01;  // one more or fewer rows in IHDR's height
  FixCrc(shortHeader, 8);
  EXPECT_EQ(Check(CheckPngStreams, shortHeader).outcome, WalkResult::Outcome::Broken);
}

}  // namespace
}  // namespace salvora
