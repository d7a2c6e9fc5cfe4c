// The content checks that decode a file: JPEG entropy data through libjpeg-turbo, PNG chunks and
// their zlib stream. Real files from the exact-carving fixture, damaged the ways a medium damages
// them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <zlib.h>

#include "carving/JpegDecodeCheck.h"
#include "carving/JpegEntropyScan.h"
#include "carving/JpegGapSearch.h"
#include "carving/PngStreamCheck.h"
#include "carving/SplicedByteSource.h"
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

// Pictures of every form the fixtures hold: Exif, progressive, grey, 2x2 sampling, restart markers.
std::vector<std::string> IntactPictures() {
  std::vector<std::string> paths;
  for (const char* name : {"plain.jpg", "exif.jpg", "progressive.jpg"})
    paths.push_back(test::FixturePath(std::string("exactcarve/files/") + name));
  for (const auto& entry : std::filesystem::directory_iterator(test::FixturePath("fragjpeg/files")))
    if (entry.path().filename() != "overwritten.jpg") paths.push_back(entry.path().string());
  return paths;
}

TEST(JpegDecodeCheck, IntactPicturesMeasureToTheirEndMarkerWhateverFollows) {
  const auto pictures = IntactPictures();
  ASSERT_GE(pictures.size(), 10u);
  for (const std::string& path : pictures) {
    SCOPED_TRACE(path);
    Bytes jpeg = test::ReadFileBytes(path);
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

// Zeros decode as valid codes under the usual tables, so the decode alone breaks rows or clusters
// later; the break is the first zeroed byte, whatever the pieces the medium hands out.
TEST(JpegDecodeCheck, ZeroFilledMiddleBreaksWithinAClusterOfItsFirstByte) {
  for (const char* name : {"plain.jpg", "exif.jpg"}) {
    const Bytes good = Planted(name);
    for (const size_t length : {size_t(600), size_t(5000)}) {
      const size_t damage = good.size() / 2 + 77;
      Bytes bad = good;
      std::fill_n(bad.begin() + long(damage), std::min(length, bad.size() - damage - 2), uint8_t(0));
      ChoppedSource chopped(bad.data(), bad.size());
      for (const WalkResult& r : {Check(DecodeJpeg, bad), DecodeJpeg(chopped)}) {
        ASSERT_EQ(r.outcome, WalkResult::Outcome::Broken) << name;
        EXPECT_LE(r.length, damage) << name << ", " << length << " zeros";
        EXPECT_GT(r.length + 512, damage) << name << ", " << length << " zeros";
      }
    }
  }
}

// Between the pieces lie clusters of another picture's entropy data, each looking just as right
// as the true continuation: more of them than the search decodes in full, so each is tried
// symbol by symbol first.
TEST(JpegGapSearch, SecondPieceFoundPastManyClustersOfAnotherPicturesData) {
  const Bytes photo = Planted("plain.jpg"), other = Planted("exif.jpg");
  constexpr size_t kUnit = 1024, kCut = 16 * kUnit, kGapUnits = 24;
  Bytes medium(photo.begin(), photo.begin() + kCut);
  medium.insert(medium.end(), other.begin() + 20000, other.begin() + 20000 + kGapUnits * kUnit);
  medium.insert(medium.end(), photo.begin() + kCut, photo.end());
  MemoryByteSource source(medium.data(), medium.size());
  JpegGapBounds bounds;
  bounds.step = kUnit;
  const auto split = FindJpegContinuation(source, medium.size(), bounds);
  ASSERT_TRUE(split.has_value());
  EXPECT_EQ(split->firstLength, kCut);
  EXPECT_EQ(split->secondOffset, kCut + kGapUnits * kUnit);
  EXPECT_EQ(split->length, photo.size());
}

// A picture in three pieces with another picture's entropy data in both gaps: after the first
// join the picture decodes on and breaks again, and the search goes on from there; only the
// layout that decodes whole is taken, as pieces of the medium.
TEST(JpegGapSearch, APictureInThreePiecesIsFoundJoinByJoin) {
  const Bytes photo = Planted("plain.jpg"), other = Planted("exif.jpg");
  constexpr size_t kUnit = 1024, kCut1 = 10 * kUnit, kCut2 = 20 * kUnit, kGap1 = 5 * kUnit, kGap2 = 9 * kUnit;
  ASSERT_GT(photo.size(), kCut2 + 4 * kUnit);
  ASSERT_GT(other.size(), 20000 + kGap1 + kGap2);
  Bytes medium(photo.begin(), photo.begin() + kCut1);
  medium.insert(medium.end(), other.begin() + 20000, other.begin() + 20000 + kGap1);
  medium.insert(medium.end(), photo.begin() + kCut1, photo.begin() + kCut2);
  medium.insert(medium.end(), other.begin() + 8000, other.begin() + 8000 + kGap2);
  medium.insert(medium.end(), photo.begin() + kCut2, photo.end());
  MemoryByteSource source(medium.data(), medium.size());
  JpegGapBounds bounds;
  bounds.step = kUnit;
  const auto split = FindJpegContinuation(source, medium.size(), bounds);
  ASSERT_TRUE(split.has_value());
  const std::vector<JpegPiece> want{{0, kCut1}, {kCut1 + kGap1, kCut2 - kCut1},
                                    {kCut2 + kGap1 + kGap2, photo.size() - kCut2}};
  EXPECT_EQ(split->pieces, want);
  EXPECT_EQ(split->length, photo.size());
}

// Each join the search tries is read from the first piece's row start nearest before it, not
// from the picture's start: the answer must be the one a reading from the start gives, for a
// wrong second piece (another picture's data) and for the right one, whatever the cut.
TEST(JpegGapSearch, AJoinReadFromTheLastRowStartAnswersAsReadingFromTheStart) {
  const Bytes photo = Planted("exif.jpg"), other = Planted("plain.jpg");
  constexpr size_t kUnit = 4096, kGap = 8 * kUnit;
  Bytes medium = photo;
  medium.resize(photo.size() + kGap);
  ASSERT_GE(other.size(), 2000 + kGap);
  std::copy_n(other.begin() + 2000, kGap, medium.begin() + long(photo.size()));
  MemoryByteSource plainSource(medium.data(), photo.size());
  EntropyRowMarks marks;
  ASSERT_EQ(ReadEntropyData(plainSource, {.keep = &marks}).outcome, EntropyPass::Outcome::Whole);
  ASSERT_FALSE(marks.empty());
  int resumedFromAMark = 0;
  for (uint64_t cut = 3 * kUnit; cut + kUnit < photo.size(); cut += kUnit) {
    SCOPED_TRACE(cut);
    resumedFromAMark += marks.Before(cut) != nullptr && marks.Before(cut)->at > 1000;
    MemoryByteSource base(medium.data(), medium.size());
    for (const uint64_t second : {uint64_t(photo.size()), cut}) {  // another picture's data, then the true rest
      SplicedByteSource fromStart(base, cut, second, medium.size());
      ChoppedSource chopped(medium.data(), medium.size());
      SplicedByteSource resumed(chopped, cut, second, medium.size());
      const EntropyPass a = ReadEntropyData(fromStart, {.bound = cut});
      const EntropyPass b = ReadEntropyData(resumed, {.bound = cut, .from = &marks, .sameTo = cut});
      EXPECT_EQ(a.outcome, b.outcome);
      EXPECT_EQ(a.offset, b.offset);
      if (second == cut) {
        EXPECT_EQ(b.outcome, EntropyPass::Outcome::HeldPast);
      }
    }
  }
  EXPECT_GE(resumedFromAMark, 3);
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

// The single symbol-level reading must answer as decoding every row does, on every form and every
// damage: cut anywhere, overwritten anywhere, a bit flipped, bytes or fill before the end marker,
// padding after it; read whole or piece by piece.
TEST(JpegDecodeCheck, TheSingleReadingAnswersAsDecodingEveryRow) {
  std::mt19937 rng(7);
  size_t damaged = 0, cases = 0;
  for (const std::string& path : IntactPictures()) {
    const Bytes good = test::ReadFileBytes(path);
    for (int m = 0; m < 16; ++m) {
      Bytes b = good;
      const size_t at = rng() % b.size();
      switch (m % 8) {
        case 0: b.resize(at); break;
        case 1: Scribble(b, at, 4096, uint32_t(m)); break;
        case 2: b[at] ^= uint8_t(1u << (rng() % 8)); break;
        case 3: b.insert(b.end() - 2, {0x12, 0x34, 0x56}); break;
        case 4: b.insert(b.end() - 2, 0xFF); break;
        case 5: b.resize(b.size() + 100, 0); break;
        case 6: b.insert(b.end() - 2, {0xFF, 0xFE, 0x00, 0x04, 0x41, 0x42}); break;  // a comment before the end
        case 7: break;
      }
      // Compared source kind by source kind: how much libjpeg-turbo holds in hand decides whether
      // it notices stray bytes before the end marker.
      const WalkResult rows = Check(DecodeJpegRows, b);
      ChoppedSource chopped(b.data(), b.size()), choppedRows(b.data(), b.size());
      const WalkResult pieces = DecodeJpegRows(choppedRows);
      for (const auto& [one, reference] : {std::pair(Check(DecodeJpeg, b), rows), std::pair(DecodeJpeg(chopped), pieces)}) {
        EXPECT_EQ(one.outcome, reference.outcome) << path << " damage " << m;
        EXPECT_EQ(one.length, reference.length) << path << " damage " << m;
      }
      damaged += rows.outcome == WalkResult::Outcome::Broken;
      ++cases;
    }
  }
  EXPECT_GT(damaged, cases / 4);  // the damage was seen, not only intact pictures compared
}

// The second-piece search asks only whether a join decodes whole; where bytes lie between the
// last block and the end marker the reading answers for the decoder, which must agree whatever
// their number (it notices a few only by how many it holds in hand) and whatever they are.
TEST(JpegDecodeCheck, DecodesWholeAgreesWithTheDecoderOnBytesBeforeTheEnd) {
  const Bytes other = Planted("plain.jpg");
  std::mt19937 rng(5);
  int broken = 0;
  for (const std::string& path : IntactPictures()) {
    const Bytes good = test::ReadFileBytes(path);
    for (const size_t n : {0, 1, 7, 8, 9, 15, 16, 17, 24, 3000}) {
      for (const bool stuffed : {false, true}) {
        Bytes b = good;
        Bytes junk(other.begin() + 2000, other.begin() + 2000 + long(n));  // entropy data, FF 00 included
        if (!stuffed) std::replace(junk.begin(), junk.end(), uint8_t(0xFF), uint8_t(0x7F));
        b.insert(b.end() - 2, junk.begin(), junk.end());
        if (rng() % 3 == 0) Scribble(b, rng() % b.size(), 64, uint32_t(n));
        MemoryByteSource a(b.data(), b.size()), c(b.data(), b.size());
        ChoppedSource d(b.data(), b.size()), e(b.data(), b.size());
        EXPECT_EQ(JpegDecodesWhole(a), DecodeJpeg(c).ok()) << path << ", " << n << " bytes";
        EXPECT_EQ(JpegDecodesWhole(d), DecodeJpeg(e).ok()) << path << ", " << n << " bytes, in pieces";
        broken += !DecodeJpeg(c).ok();
      }
    }
  }
  EXPECT_GT(broken, 0);
}

// The search on from a join looks at where it breaks only unit by unit: the decode it skips after
// the last row must break in the unit the decoder would, whatever lies before the end marker and
// however the medium hands the bytes out; a unit boundary near the break leaves it to the decoder.
TEST(JpegDecodeCheck, BreakAfterTheLastRowIsPlacedInTheDecodersUnit) {
  const Bytes other = Planted("plain.jpg");
  int settled = 0, cases = 0;
  for (const std::string& path : IntactPictures()) {
    const Bytes good = test::ReadFileBytes(path);
    for (const size_t n : {16, 17, 40, 3000}) {
      for (const bool stuffed : {false, true}) {
        Bytes b = good;
        Bytes junk(other.begin() + 2000, other.begin() + 2000 + long(n));
        if (!stuffed) std::replace(junk.begin(), junk.end(), uint8_t(0xFF), uint8_t(0x7F));
        b.insert(b.end() - 2, junk.begin(), junk.end());
        for (const uint64_t step : {512, 4096, 32768}) {
          for (const uint64_t phase : {0, 300}) {
            SCOPED_TRACE(path + ", " + std::to_string(n) + " bytes, unit " + std::to_string(step));
            MemoryByteSource a(b.data(), b.size()), c(b.data(), b.size());
            ChoppedSource d(b.data(), b.size()), e(b.data(), b.size());
            for (auto [unit, decoder] : {std::pair<ByteSource*, ByteSource*>{&a, &c}, {&d, &e}}) {
              const WalkResult placed = DecodeJpegToUnit(*unit, {}, phase, step);
              const WalkResult decoded = DecodeJpeg(*decoder);
              ASSERT_EQ(placed.outcome, decoded.outcome);
              if (decoded.outcome != WalkResult::Outcome::Broken) continue;
              ++cases;
              settled += placed.length != decoded.length;
              EXPECT_EQ((placed.length - phase) / step, (decoded.length - phase) / step);
            }
          }
        }
      }
    }
  }
  EXPECT_GT(settled, cases / 2);  // most were placed without the decoder
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
