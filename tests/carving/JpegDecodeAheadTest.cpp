// Decodes made ahead of the sweep must answer exactly as carving's own decode of the bytes it
// measured, or not at all.
#include "carving/JpegDecodeAhead.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "carving/CarvingTestSupport.h"
#include "carving/JpegDecodeCheck.h"
#include "carving/ReaderByteSource.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Picture(const std::string& name) {
  return test::ReadFileBytes(test::FixturePath("exactcarve/files/" + name));
}

uint64_t Sectors(const Bytes& b) { return (b.size() + 511) / 512; }

WalkResult DecodedAlone(SectorReader& reader, uint64_t sector, uint64_t length) {
  ReaderByteSource source(reader, 512, sector, length);
  return DecodeJpeg(source);
}

void ExpectSame(const WalkResult& a, const WalkResult& b) {
  EXPECT_EQ(int(a.outcome), int(b.outcome));
  EXPECT_EQ(a.length, b.length);
}

TEST(JpegDecodeAhead, AnswersAsCarvingsOwnDecodeOnlyForTheBytesCarvingMeasured) {
  const Bytes plain = Picture("plain.jpg");
  const Bytes exif = Picture("exif.jpg");
  const Bytes progressive = Picture("progressive.jpg");
  Bytes damaged = plain;
  std::mt19937 rng(7);
  for (size_t i = damaged.size() / 2; i < damaged.size() / 2 + 600; ++i) damaged[i] = uint8_t(rng() & 0x7F);
  test::PlantedMedium medium(4096);
  const uint64_t at[] = {8, 8 + Sectors(plain) + 3, 8 + Sectors(plain) + Sectors(exif) + 9, 3000};
  medium.Plant(at[0], plain);
  medium.Plant(at[1], exif);
  medium.Plant(at[2], damaged);
  medium.Plant(at[3], progressive);  // outside the swept range
  SectorReader& reader = medium.Reader();
  JpegDecodeAhead ahead(reader, 512, {{0, 2900}}, 2);

  ahead.WaitForScout(at[2]);
  // The bytes carving measured, and the decode carving would make of them, intact or broken.
  const auto first = ahead.Take(at[0], plain.size());
  ASSERT_TRUE(first);
  EXPECT_TRUE(first->decode.ok());
  ExpectSame(first->decode, DecodedAlone(reader, at[0], plain.size()));
  // Another length than the scout measured (a stop sector cut the file): carving decodes alone.
  EXPECT_FALSE(ahead.Take(at[1], exif.size() - 512));
  const auto broken = ahead.Take(at[2], damaged.size());
  ASSERT_TRUE(broken);
  EXPECT_EQ(int(broken->decode.outcome), int(WalkResult::Outcome::Broken));
  EXPECT_FALSE(broken->searched);  // no search given
  ExpectSame(broken->decode, DecodedAlone(reader, at[2], damaged.size()));
  // Nothing is decoded outside the ranges, nor for a sector asked twice.
  ahead.WaitForScout(at[3]);
  EXPECT_FALSE(ahead.Take(at[3], progressive.size()));
  EXPECT_FALSE(ahead.Take(at[3], progressive.size()));

  // After a read that fails (here: past the medium's end) nothing more is read ahead.
  JpegDecodeAhead failing(reader, 512, {{5000, 8}, {0, 2900}}, 2);
  failing.WaitForScout(at[0]);
  EXPECT_FALSE(failing.Take(at[0], plain.size()));
}

TEST(JpegDecodeAhead, HostileMediaAndAnAbandonedSweepEndCleanly) {
  // Every sector opens like a JPEG, most of them cut short by the next; the source ends inside
  // the last one. The sweep asks for nothing and stops at once.
  test::PlantedMedium medium(600);
  const Bytes head = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0x01, 0x01, 0x00, 0x00, 0x01};
  for (uint64_t s = 0; s < 600; ++s) medium.Plant(s, head);
  const Bytes plain = Picture("plain.jpg");
  Bytes cut(plain.begin(), plain.begin() + long(plain.size() / 2));
  medium.Plant(600 - Sectors(cut), cut);
  SectorReader& reader = medium.Reader();
  {
    JpegDecodeAhead ahead(reader, 512, {{0, 600}, {590, 1000}}, 2);
  }
  JpegDecodeAhead ahead(reader, 512, {{0, 600}}, 2);
  ahead.WaitForScout(600);
  for (uint64_t s = 0; s < 600; s += 50) {
    const auto answer = ahead.Take(s, 4096);
    if (answer) ExpectSame(answer->decode, DecodedAlone(reader, s, 4096));
  }
}

}  // namespace
}  // namespace salvora
