// The content verdict of whole files: real files of each checked format, the same files cut short,
// grown, overwritten or replaced by foreign bytes, and files that cannot be checked.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "carving/CheckContent.h"
#include "carving/ContentCheckQueue.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Planted(const std::string& name) { return test::ReadFileBytes(test::FixturePath("exactcarve/files/" + name)); }

ContentVerdict Check(const std::string& extension, const Bytes& b) {
  MemoryByteSource source(b.data(), b.size());
  return CheckContent(extension, source);
}

TEST(CheckContent, WholeFilesAreIntactAndCutOrForeignOnesDamagedNoFurtherThanTheirBytes) {
  const struct {
    const char* name;
    const char* extension;
  } files[] = {{"plain.jpg", "jpg"},   {"progressive.jpg", "JPEG"}, {"picture.png", "png"},
               {"picture.gif", "gif"}, {"picture.tif", "tif"},      {"picture.psd", "psd"},
               {"movie.mp4", "mp4"},   {"camera.mov", "mov"},       {"clip.mkv", "mkv"},
               {"archive.zip", "zip"}, {"letter.docx", "docx"},     {"picture.png.gz", "gz"},
               {"report.pdf", "pdf"},    {"clip.rm", "rm"}};
  for (const auto& f : files) {
    SCOPED_TRACE(f.name);
    const Bytes whole = Planted(f.name);
    EXPECT_EQ(Check(f.extension, whole), ContentVerdict::Intact());
    // Padding behind a whole structure is left unjudged.
    Bytes padded = whole;
    padded.resize(whole.size() + 3000, 0);
    EXPECT_EQ(Check(f.extension, padded), ContentVerdict::Intact());
    const size_t cut = whole.size() * 2 / 3;
    const ContentVerdict shortened = Check(f.extension, Bytes(whole.begin(), whole.begin() + long(cut)));
    EXPECT_TRUE(shortened.damaged() && shortened.damagedAt <= cut) << shortened.Text();
    // A file named so whose bytes are another format's is damaged from its first byte.
    EXPECT_EQ(Check(f.extension, Planted("sound.wav")), ContentVerdict::DamagedAt(0));
  }
}

// The formats cameras, phones and players write today, made by their own encoders (make-formats.sh):
// whole, each is intact; cut short, damaged no later than its cut; padded, still intact.
TEST(CheckContent, TodaysPhotosRawsAndSongsAreCheckedByTheirStructure) {
  const std::string folder = test::FixturePath("formats-src/");
  for (const char* name : {"adobe.jpg", "icc.jpg", "bare.jpg", "cmyk.jpg", "arithmetic.jpg", "photo.heic",
                           "photo.avif", "photo.webp", "canon.cr2", "canon.cr3", "nikon.nef", "sony.arw",
                           "adobe.dng", "pentax.pef", "fuji.raf", "olympus.orf", "panasonic.rw2", "song.flac",
                           "walk.ogg", "memo.opus", "radio.m4a"}) {
    SCOPED_TRACE(name);
    const std::string extension = std::string(name).substr(std::string(name).rfind('.') + 1);
    const Bytes whole = test::ReadFileBytes(folder + name);
    ASSERT_FALSE(whole.empty());
    EXPECT_EQ(Check(extension, whole), ContentVerdict::Intact());
    Bytes padded = whole;
    padded.resize(whole.size() + 1500, 0);
    EXPECT_EQ(Check(extension, padded), ContentVerdict::Intact());
    const size_t cut = whole.size() * 3 / 4;
    const ContentVerdict shortened = Check(extension, Bytes(whole.begin(), whole.begin() + long(cut)));
    EXPECT_TRUE(shortened.damaged() && shortened.damagedAt <= cut) << shortened.Text();
  }
  // A FLAC frame whose bytes changed fails its checksum: damaged there, not at the end.
  Bytes flac = test::ReadFileBytes(folder + "song.flac");
  flac[flac.size() / 2] ^= 0x10;
  const ContentVerdict song = Check("flac", flac);
  EXPECT_TRUE(song.damaged() && song.damagedAt <= flac.size() / 2) << song.Text();
  // So does an Ogg page.
  Bytes ogg = test::ReadFileBytes(folder + "walk.ogg");
  ogg[ogg.size() / 2] ^= 0x10;
  const ContentVerdict walk = Check("ogg", ogg);
  EXPECT_TRUE(walk.damaged() && walk.damagedAt <= ogg.size() / 2) << walk.Text();
}

TEST(CheckContent, DamageIsPlacedWhereTheStructureBreaks) {
  // A marker that cannot occur planted in a photo's entropy data, and a flipped byte in a
  // picture's data chunk (its checksum no longer holds).
  Bytes jpeg = Planted("plain.jpg");
  const size_t at = jpeg.size() - 200;
  jpeg[at] = 0xFF;
  jpeg[at + 1] = 0x05;
  // The photo is judged from the start of the row of blocks the bad marker falls in.
  const ContentVerdict photo = Check("jpg", jpeg);
  EXPECT_TRUE(photo.damaged() && photo.damagedAt <= at && photo.damagedAt + 4096 > at) << photo.Text();

  Bytes png = Planted("picture.png");
  const std::string text(png.begin(), png.end());
  const size_t data = text.find("IDAT");
  ASSERT_NE(data, std::string::npos);
  png[data + 10] ^= 0x40;
  EXPECT_EQ(Check("png", png), ContentVerdict::DamagedAt(data - 4));
}

TEST(CheckContent, FilesWithoutACheckAreNotCheckedAndHostileBytesNeverCrash) {
  EXPECT_EQ(Check("wav", Planted("sound.wav")), ContentVerdict::NotChecked());
  EXPECT_EQ(Check("jpg", Bytes{}), ContentVerdict::NotChecked());
  EXPECT_EQ(Check("", Planted("plain.jpg")), ContentVerdict::NotChecked());
  EXPECT_EQ(Check("jpgjpgjpgjpg", Planted("plain.jpg")), ContentVerdict::NotChecked());
  // An MP3 may start without the tag the check looks for: not judged.
  EXPECT_EQ(Check("mp3", Bytes(4096, 0x11)), ContentVerdict::NotChecked());
  // Lengths that point far past the end, and endless markers.
  EXPECT_TRUE(Check("jpg", Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0xFF, 0xFF}).damaged());
  EXPECT_TRUE(Check("jpg", Bytes(70000, 0xFF)).damaged());
  EXPECT_TRUE(Check("mp4", Bytes{0, 0, 0, 0x20, 'f', 't', 'y', 'p', 0xFF, 0xFF}).damaged());
  // A structure that declares more than the file holds is cut short at the file's end.
  EXPECT_EQ(VerdictOfWalk(WalkResult::Measured(9000, 100), 5000), ContentVerdict::DamagedAt(5000));
  EXPECT_EQ(VerdictOfWalk(WalkResult::BrokenAt(7000), 5000), ContentVerdict::DamagedAt(5000));
}

// Written files checked behind the copy: each verdict belongs to its own file, in the order the
// files were handed in, and a queue dropped with files still waiting does not hang.
TEST(CheckContent, QueuedChecksAnswerInSubmissionOrder) {
  test::TempDir dir;
  const Bytes photo = Planted("plain.jpg");
  Bytes broken = photo;
  broken.resize(photo.size() / 2);
  const std::vector<std::pair<std::string, ContentVerdict>> files = {
      {"whole.jpg", ContentVerdict::Intact()},
      {"notes.txt", ContentVerdict::NotChecked()},
      {"cut.jpg", ContentVerdict::DamagedAt(0)},  // placed below: somewhere inside
      {"sound.jpg", ContentVerdict::DamagedAt(0)},
      {"gone.jpg", ContentVerdict::NotChecked()},  // never written
  };
  test::WriteFileBytes(dir.File("whole.jpg"), photo);
  test::WriteFileBytes(dir.File("notes.txt"), Bytes(100, 'a'));
  test::WriteFileBytes(dir.File("cut.jpg"), broken);
  test::WriteFileBytes(dir.File("sound.jpg"), Planted("sound.wav"));
  ContentCheckQueue queue;
  for (int round = 0; round < 20; ++round)
    for (const auto& f : files) queue.Submit(dir.File(f.first));
  for (int round = 0; round < 20; ++round)
    for (const auto& f : files) {
      SCOPED_TRACE(f.first);
      const ContentVerdict verdict = queue.Take();
      if (f.first == "cut.jpg")
        EXPECT_TRUE(verdict.damaged() && verdict.damagedAt > 0 && verdict.damagedAt <= broken.size()) << verdict.Text();
      else
        EXPECT_EQ(verdict, f.second) << verdict.Text();
    }
  EXPECT_EQ(queue.Take(), ContentVerdict::NotChecked());
  ContentCheckQueue dropped;
  for (int i = 0; i < 50; ++i) dropped.Submit(dir.File("whole.jpg"));
}

}  // namespace
}  // namespace salvora
