// The metadata readers that name carved files, on well-formed tags and on tags that lie.
#include <gtest/gtest.h>

#include <string>

#include "output/ExifFacts.h"
#include "output/Id3Tags.h"
#include "output/MovieTime.h"
#include "output/OutputFiles.h"
#include "output/PreviewFile.h"
#include "output/RecoveredFileFinish.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

std::string Be32(uint32_t v) { return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }

// An ID3v2 tag of the given version holding the frames (id, encoding byte + text).
std::string Id3(int version, const std::vector<std::pair<std::string, std::string>>& frames) {
  std::string body;
  for (const auto& [id, text] : frames) {
    uint32_t n = uint32_t(text.size());
    // Version 4 counts frame sizes in 7-bit bytes.
    body += id + (version == 4 ? std::string{char(n >> 21 & 0x7F), char(n >> 14 & 0x7F), char(n >> 7 & 0x7F), char(n & 0x7F)}
                               : Be32(n)) + std::string(2, '\0') + text;
  }
  const uint32_t n = uint32_t(body.size());
  return std::string("ID3") + char(version) + '\0' + '\0' +
         std::string{char(n >> 21 & 0x7F), char(n >> 14 & 0x7F), char(n >> 7 & 0x7F), char(n & 0x7F)} + body;
}

TEST(Id3Tags, ReadsTextInEveryEncodingAndSurvivesLyingSizes) {
  Id3Tags tags;
  ASSERT_TRUE(ParseId3Tags(Id3(3, {{"TPE1", std::string("\0Caf\xE9", 5)}, {"TIT2", std::string("\x01\xFF\xFEH\0i\0", 7)}}), "", tags));
  EXPECT_EQ(tags.artist, "Caf\xC3\xA9");
  EXPECT_EQ(tags.title, "Hi");
  ASSERT_TRUE(ParseId3Tags(Id3(4, {{"TIT2", "\x03Song \xC3\xA9  "}}), "", tags));
  EXPECT_EQ(tags.title, "Song \xC3\xA9");
  // A frame that claims more than the tag holds ends the walk; the frames before it count.
  std::string lying = Id3(3, {{"TIT2", std::string("\0Kept", 5)}, {"TPE1", std::string("\0Gone", 5)}});
  lying[10 + 10 + 5 + 4] = '\x7F';
  ASSERT_TRUE(ParseId3Tags(lying, "", tags));
  EXPECT_EQ(tags.title, "Kept");
  EXPECT_EQ(tags.artist, "");
  // Cut anywhere, the tag never reads past its end; without a v2 title the v1 tag at the end names it.
  const std::string whole = Id3(3, {{"TIT2", std::string("\0A title", 8)}});
  std::string v1 = "TAG" + std::string("Old title") + std::string(21, ' ') + "Old artist" + std::string(20, '\0');
  v1.resize(128, '\0');
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    ASSERT_TRUE(ParseId3Tags(whole.substr(0, cut), v1, tags)) << cut;
    EXPECT_EQ(tags.title, "Old title") << cut;
    EXPECT_EQ(tags.artist, "Old artist") << cut;
  }
  EXPECT_FALSE(ParseId3Tags("", "", tags));
}

TEST(ExifFacts, OnlyRealDatesCount) {
  EXPECT_EQ(ExifDateTime("2021:07:04 10:11:12"), (1625393472ull + 11644473600ull) * 10000000ull);
  for (const char* bad : {"", "2021:13:04 10:11:12", "0000:00:00 00:00:00", "2021:07:04", "2021:07:04 25:00:00",
                          "2021:07:04 10:11:12x"})
    EXPECT_EQ(ExifDateTime(bad), 0u) << bad;
  // A file that only starts like a JPEG or a TIFF gives nothing, and no fault.
  test::TempDir dir;
  for (const std::string& head : {std::string("\xFF\xD8\xFF\xE1\xFF\xFF" "Exif\0\0MM\0*\0\0\0\x08\xFF\xFF", 22),
                                  std::string("II*\0\x08\0\0\0\xFF\xFF", 10)}) {
    test::WriteFileBytes(dir.File("x"), std::vector<uint8_t>(head.begin(), head.end()));
    ExifFacts facts;
    EXPECT_FALSE(ReadExifFacts(dir.File("x"), facts));
  }
}

TEST(MovieTime, ReadsTheMovieHeaderAndStopsAtBoxesThatLie) {
  test::TempDir dir;
  auto write = [&](const std::string& bytes) {
    test::WriteFileBytes(dir.File("m"), std::vector<uint8_t>(bytes.begin(), bytes.end()));
    return ReadMovieCreationTime(dir.File("m"));
  };
  // 2020-01-02 03:04:05 UTC counted from 1904.
  const uint32_t created = 1577934245u + 2082844800u;
  const std::string mvhd = Be32(20) + "mvhd" + std::string(4, '\0') + Be32(created) + Be32(created);
  const std::string ftyp = Be32(16) + "ftypisom" + Be32(0);
  EXPECT_EQ(write(ftyp + Be32(8 + uint32_t(mvhd.size())) + "moov" + mvhd),
            (1577934245ull + 11644473600ull) * 10000000ull);
  EXPECT_EQ(write(ftyp + Be32(0x7FFFFFFF) + "moov" + mvhd), 0u) << "a box larger than the file";
  EXPECT_EQ(write(ftyp + Be32(4) + "moov" + mvhd), 0u) << "a box smaller than its header";
  EXPECT_EQ(write(ftyp + Be32(8 + 12) + "moov" + Be32(12) + "mvhd" + std::string(4, '\0')), 0u) << "cut short";
  EXPECT_EQ(write(""), 0u);
}

// Carved photos, raws, HEIF pictures and songs of today's formats (make-formats.sh) are named by the
// metadata they carry, as JPEGs and MP3s are: Exif date and camera, artist and title.
TEST(CarvedFileName, TodaysFormatsAreNamedByTheirOwnMetadata) {
  const std::string folder = test::FixturePath("formats-src/");
  const struct {
    const char* file;
    const char* name;
  } cases[] = {
      {"photo.heic", "2026-08-02 12-00-00 iPhone 15.heic"},
      {"photo.avif", "2026-08-02 12-00-00 iPhone 15.avif"},
      {"canon.cr3", "2026-09-09 09-09-09 Canon EOS R5.cr3"},
      {"fuji.raf", "2026-07-14 10-20-30 Canon EOS R6.raf"},  // the preview's Exif
      {"olympus.orf", "E-M1.orf"},
      {"panasonic.rw2", "DC-G9.rw2"},
      {"nikon.nef", "NIKON D850.nef"},
      {"exif.jpg", "2026-05-01 08-00-00 Card.jpg"},
      {"song.flac", "Salvora - Harbour Song.flac"},
      {"walk.ogg", "Salvora - Evening Walk.ogg"},
      {"memo.opus", "Salvora - Voice Memo.opus"},
      {"radio.m4a", "Salvora - Morning Radio.m4a"},
  };
  for (const auto& c : cases) {
    const std::string file(c.file);
    uint64_t exifTime = 0;
    EXPECT_EQ(CarvedFileName(folder + file, file.substr(file.rfind('.') + 1), exifTime), c.name) << c.file;
  }
}

// Qt reads no HEIF: the preview of a HEIC or AVIF picture is its decoded image; one that does not
// decode is left as copied (the desktop then says it cannot preview it).
TEST(PreparePreview, HeifPicturesAreShownDecoded) {
  test::ScopedDataDir data;
  for (const char* file : {"photo.heic", "photo.avif"}) {
    SCOPED_TRACE(file);
    const auto bytes = test::ReadFileBytes(test::FixturePath(std::string("formats-src/") + file));
    for (const size_t keep : {bytes.size(), bytes.size() / 3}) {
      const PreviewCopy copy = [&](OutputFile* out, uint8_t*, uint64_t, uint64_t& copied) {
        copied = keep;
        return out->Write(bytes.data(), keep);
      };
      std::string temp;
      int size = 0;
      ASSERT_EQ(PreparePreview(std::string("IMG_0001.") + (file + 6), temp, nullptr, size, copy), 0);
      const auto shown = test::ReadFileBytes(temp);
      const std::string header = "P6\n640 480\n255\n";
      if (keep == bytes.size()) {
        ASSERT_EQ(shown.size(), header.size() + 640 * 480 * 3);
        EXPECT_EQ(std::string(shown.begin(), shown.begin() + long(header.size())), header);
      } else {
        EXPECT_EQ(shown, std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(keep)));
      }
    }
  }
}

}  // namespace
}  // namespace salvora
