// Structure walks on real files (the exact-carving fixture) and the hook that puts them before
// the format's old size rule.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "carving/CarvingTestSupport.h"
#include "carving/EndMarkers.h"
#include "carving/SizeRules.h"
#include "carving/StructureMeasure.h"
#include "carving/StructureWalks.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

Bytes Planted(const std::string& name) { return test::ReadFileBytes(test::FixturePath("exactcarve/files/" + name)); }

Bytes Stale(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& x : b) x = uint8_t(rng());
  return b;
}

WalkResult Walk(StructureWalk walk, const Bytes& b) {
  MemoryByteSource source(b.data(), b.size());
  return walk(source);
}

// Measures the file planted at sector 0 of a medium with a size rule, as a sweep would.
uint64_t Measure(test::PlantedMedium& medium, SizeRule rule) {
  WorkBufferLease lease;
  test::AimContextAt(&medium.Reader(), 0, medium.sectorSize());
  return rule(medium.SectorAt(0), medium.sectorSize());
}

TEST(StructureWalk, JpegWithAThumbnailEndsAtItsOwnEndMarkerWhateverFollows) {
  const Bytes jpeg = Planted("exif.jpg");
  ASSERT_GT(jpeg.size(), 4096u);
  // The Exif thumbnail's end marker comes first: a marker search would end the file there.
  const size_t firstEnd = FindPattern(jpeg.data(), jpeg.size(), kJpegEnd) + 2;
  ASSERT_LT(firstEnd, jpeg.size());
  Bytes withTail = jpeg;
  const Bytes tail = Stale(3000, 7);
  withTail.insert(withTail.end(), {0xFF, 0xD9});  // another end marker in the stale bytes
  withTail.insert(withTail.end(), tail.begin(), tail.end());
  const WalkResult r = Walk(WalkJpeg, withTail);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.length, jpeg.size());
  EXPECT_EQ(r.verifiedTo, jpeg.size());
}

TEST(StructureMeasure, JpegFollowedByStaleBytesEndsAtItsMarker) {
  const Bytes jpeg = Planted("plain.jpg");
  test::PlantedMedium medium(400);
  Bytes withTail = jpeg;
  const Bytes stale = Stale(20 * 512, 3);
  withTail.insert(withTail.end(), stale.begin(), stale.end());
  medium.Plant(0, withTail);
  // The old rule needs zeros behind the marker; it runs on to the end of the medium.
  EXPECT_GT(Measure(medium, SizeJpegEndMarker), jpeg.size());
  EXPECT_EQ(Measure(medium, SizeJpegSegments), jpeg.size());
}

TEST(StructureMeasure, FileOverwrittenInItsMiddleStopsAtTheStopSector) {
  // A PNG written over the middle of a JPEG: the JPEG's entropy data breaks there, so the old
  // rule measures it, and it stops where the PNG starts.
  const Bytes jpeg = Planted("plain.jpg");
  test::PlantedMedium medium(400);
  medium.Plant(0, jpeg);
  medium.Plant(30, Planted("picture.png"));
  EXPECT_EQ(Measure(medium, SizeJpegSegments), 30u * 512);

  // A movie whose media data runs to its end: the walk checks no byte of it, so a picture that
  // starts inside it ends the movie as before; with the movie box behind the media data, the
  // headers around the picture vouch for it and the movie keeps its length.
  const Bytes faststart = Planted("faststart.mp4");
  test::PlantedMedium a(600);
  a.Plant(0, faststart);
  a.Plant(100, Planted("plain.jpg"));
  EXPECT_EQ(Measure(a, SizeQuickTimeBoxes), 100u * 512);
  const Bytes movie = Planted("movie.mp4");
  test::PlantedMedium b(600);
  b.Plant(0, movie);
  b.Plant(100, Planted("plain.jpg"));
  EXPECT_EQ(Measure(b, SizeQuickTimeBoxes), movie.size());
}

TEST(StructureMeasure, FormatsWithoutAnOldRuleAreCarvedOnlyWhenTheirStructureHolds) {
  const Bytes zip = Planted("archive.zip");
  test::PlantedMedium whole(3000);
  whole.Plant(0, zip);
  EXPECT_EQ(Measure(whole, SizeZipEndRecord), zip.size());
  // Its central directory overwritten by zeros: no end record, nothing carved.
  test::PlantedMedium cut(3000);
  cut.Plant(0, Bytes(zip.begin(), zip.end() - 300));
  EXPECT_EQ(Measure(cut, SizeZipEndRecord), kNotCarved);
}

// Every planted file cut short, and every file grown by stale bytes: a walk never measures past
// the bytes it was given, and a file whose end is missing is not measured at all.
TEST(StructureWalk, TruncatedFilesAreNeverMeasuredPastTheirBytes) {
  // needsEnd: a file that ends with a marker or a declared length cannot be measured without its
  // end; streams of frames, packs or packets end wherever their last whole unit does.
  const struct {
    const char* name;
    StructureWalk walk;
    bool needsEnd;
  } files[] = {
      {"plain.jpg", WalkJpeg, true},        {"progressive.jpg", WalkJpeg, true},
      {"picture.png", WalkPng, true},       {"picture.gif", WalkGif, true},
      {"picture.tif", WalkTiff, true},      {"picture.psd", WalkPhotoshop, true},
      {"song.mp3", WalkMp3, false},         {"movie.mp4", WalkIsoMedia, true},
      {"camera.mov", WalkIsoMedia, true},   {"clip.mkv", WalkMatroska, true},
      {"clip.flv", WalkFlashVideo, false},  {"clip.mpeg", WalkMpegProgram, false},
      {"clip.mxf", WalkMxf, false},         {"archive.zip", WalkZip, true},
      {"letter.docx", WalkZip, true},       {"picture.png.gz", WalkGzip, true},
      {"store.db", WalkSqlite, true},       {"report.pdf", WalkPdf, false},
  };
  for (const auto& f : files) {
    const Bytes whole = Planted(f.name);
    Bytes grown = whole;
    const Bytes stale = Stale(5000, 11);
    grown.insert(grown.end(), stale.begin(), stale.end());
    const WalkResult full = Walk(f.walk, grown);
    EXPECT_TRUE(full.ok() && full.length == whole.size()) << f.name << " measured " << full.length;
    for (size_t cut : {size_t(7), whole.size() / 3, whole.size() - 1}) {
      const Bytes part(whole.begin(), whole.begin() + long(cut));
      const WalkResult r = Walk(f.walk, part);
      EXPECT_TRUE(!r.ok() || r.length <= cut) << f.name << " cut at " << cut;
      if (f.needsEnd) {
        EXPECT_FALSE(r.ok()) << f.name << " cut at " << cut << " measured " << r.length;
      }
    }
  }
}

TEST(StructureWalk, HostileLengthsEndTheWalk) {
  auto be32 = [](uint32_t v) { return Bytes{uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}; };
  auto cat = [](std::initializer_list<Bytes> parts) {
    Bytes b;
    for (const Bytes& p : parts) b.insert(b.end(), p.begin(), p.end());
    return b;
  };
  auto text = [](const std::string& s) { return Bytes(s.begin(), s.end()); };
  const Bytes ftyp = cat({be32(16), text("ftypisom"), Bytes(4, 0)});
  // A box of size 0 ("to the end") and boxes smaller than their header: no length.
  EXPECT_FALSE(Walk(WalkIsoMedia, cat({ftyp, be32(0), text("moov"), Bytes(100, 0)})).ok());
  EXPECT_FALSE(Walk(WalkIsoMedia, cat({ftyp, be32(4), text("moov"), Bytes(100, 0)})).ok());
  // A 64-bit size past the source, and one shorter than the large header.
  EXPECT_FALSE(Walk(WalkIsoMedia, cat({ftyp, be32(1), text("moov"), be32(1), be32(0)})).ok());
  EXPECT_FALSE(Walk(WalkIsoMedia, cat({ftyp, be32(1), text("moov"), be32(0), be32(12)})).ok());
  // Eight-byte free boxes to the end of the source, without a movie box: not a movie.
  Bytes loop = ftyp;
  for (int i = 0; i < 500; ++i) loop = cat({loop, be32(8), text("free")});
  EXPECT_FALSE(Walk(WalkIsoMedia, loop).ok());
  // A PNG chunk longer than the source, and a JPEG segment length past it.
  EXPECT_FALSE(Walk(WalkPng, cat({text("\x89PNG\r\n\x1a\n"), be32(0x7FFFFFFF), text("IHDR"), Bytes(64, 0)})).ok());
  EXPECT_FALSE(Walk(WalkJpeg, cat({Bytes{0xFF, 0xD8, 0xFF, 0xE1, 0xFF, 0xFF}, Bytes(64, 0)})).ok());
  // A TIFF directory that names itself as the next one, with a strip past the source.
  Bytes tiff = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 17, 1, 4, 0, 1, 0, 0, 0, 0, 0, 0, 1, 8, 0, 0, 0};
  EXPECT_FALSE(Walk(WalkTiff, tiff).ok());
  tiff[18] = 8;  // the strip now starts at the directory
  tiff[21] = 0;
  const WalkResult r = Walk(WalkTiff, tiff);
  EXPECT_TRUE(!r.ok() || r.length <= tiff.size());
}

}  // namespace
}  // namespace salvora
