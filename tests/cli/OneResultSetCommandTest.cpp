// The advanced scan as one result set, through salvora-cli: every found file listed and written
// once whichever engines found it, with its state, the engines that found it, and its times.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <sstream>
#include <set>

#include "support/TestSupport.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

std::string Cli(const std::string& dataDir, const std::string& args) {
  return "SALVORA_DATA_DIR='" + dataDir + "' '" + test::CliPath() + "' " + args;
}

std::vector<std::string> FilesUnder(const std::string& dir) {
  std::vector<std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file()) files.push_back(e.path().string());
  return files;
}

// Reads a recovery report and prints: files, files whose content another engine's file also has,
// files whose modification time on disk differs from the report's, and files whose times came
// from the file system.
const char kReportFacts[] = R"(python3 -c "
import sys, os, calendar, time, collections, xml.etree.ElementTree as E
ns = '{urn:salvora}'
engines, wrong, fs_times, n = collections.defaultdict(set), 0, 0, 0
for f in E.parse(sys.argv[1]).getroot().iter('fileobject'):
    n += 1
    out = f.find(ns + 'output')
    engines[f.findtext('hashdigest')].add(out.get('engine'))
    if out.get('times_from'):
        fs_times += out.get('times_from') == 'file-system'
        want = calendar.timegm(time.strptime(f.findtext('mtime'), '%Y-%m-%dT%H:%M:%SZ'))
        wrong += int(os.stat(out.text).st_mtime) != want
print(n, sum(len(e) > 1 for e in engines.values()), wrong, fs_times)
")";

// Prints the files of a JSON listing, then those with an extension, then the extensions as a
// comma list.
const char kListingFacts[] = R"(python3 -c "
import sys, json
files = [o for o in json.load(sys.stdin) if not o['folder']]
ext = sorted({o['name'].rsplit('.', 1)[1].lower() for o in files if '.' in o['name']})
print(len(files), sum('.' in o['name'] for o in files), ','.join(ext))
")";

// The same road as the README's main job: the sample card's five deleted pictures come back
// once each, byte for byte, with their names where the file system keeps them, and with the
// modification time their directory entries give.
TEST(OneResultSet, SampleCardAdvancedScanWritesEachDeletedPictureOnce) {
  for (const char* tool : {"mkfs.fat", "mcopy", "convert", "python3"})
    if (!test::HaveTool(tool)) GTEST_SKIP() << tool << " missing";
  test::TempDir work, data;
  const std::string card = work.File("card.img"), originals = work.File("orig"), dest = work.File("out");
  ASSERT_EQ(test::RunCommand("TZ=UTC bash '" SALVORA_SOURCE_DIR "/scripts/make-sample-card.sh' '" + card + "' '" +
                             originals + "' >/dev/null"), 0);
  const std::string before = test::Sha256File(card);
  std::string out;
  ASSERT_EQ(test::RunCommand(Cli(data.path(), "recover '" + card + "' --fresh --to '" + dest + "' --report '" +
                                                  work.File("report.xml") + "' 2>/dev/null"), &out), 0) << out;
  EXPECT_NE(out.find("Finished 5 of 5 files: 5 recovered, 0 failed"), std::string::npos) << out;
  std::multiset<std::string> wanted, got;
  for (const char* name : {"IMG_0002.JPG", "IMG_0004.JPG", "Beach at sunset.jpg", "Harbour.jpg", "map.png"})
    wanted.insert(test::Sha256File(originals + "/" + name));
  for (const auto& f : FilesUnder(dest)) got.insert(test::Sha256File(f));
  EXPECT_EQ(got, wanted) << out;
  EXPECT_EQ(test::Sha256File(dest + "/photo/Beach at sunset.jpg"), test::Sha256File(originals + "/Beach at sunset.jpg"));
  // mcopy wrote the originals' times into the entries (two-second steps).
  struct stat recovered {}, original {};
  ASSERT_EQ(::stat((dest + "/photo/Harbour.jpg").c_str(), &recovered), 0);
  ASSERT_EQ(::stat((originals + "/Harbour.jpg").c_str(), &original), 0);
  EXPECT_LE(std::abs(long(recovered.st_mtime - original.st_mtime)), 2L);
  std::string facts;
  ASSERT_EQ(test::RunCommand(std::string(kReportFacts) + " '" + work.File("report.xml") + "'", &facts), 0);
  EXPECT_EQ(facts, "5 0 0 5\n");
  // The fast scan's deleted folder, not the deep scan's copy of it, and no carved copies.
  std::string listing;
  ASSERT_EQ(test::RunCommand(Cli(data.path(), "scan '" + card + "' --fresh 2>/dev/null"), &listing), 0);
  EXPECT_EQ(listing.find("LostFolder"), std::string::npos) << listing;
  EXPECT_EQ(listing.find("Carved files"), std::string::npos) << listing;
  EXPECT_NE(listing.find("f deleted intact"), std::string::npos) << listing;
  EXPECT_EQ(test::Sha256File(card), before);
}

// Quick-formatted FAT32 and exFAT cards, an NTFS volume formatted over its deleted folders, and a
// card with finds of every engine: recover writes no file twice from different engines, the tree,
// the JSON, the search and the recovery count the same files, and every file whose record
// carries times gets them.
TEST(OneResultSet, FormattedVolumesGiveEachFileOnceAndEveryCountAgrees) {
  if (!test::HaveTool("python3")) GTEST_SKIP();
  for (const char* name : {"deepfat-reformatted.img", "deepntfs-formatted.img", "exfat-formatted.img", "sweep-card.img"}) {
    SCOPED_TRACE(name);
    const std::string image = test::FixturePath(name);
    const std::string before = test::Sha256File(image);
    test::TempDir work, data;
    std::string tree, json, search, out, facts;
    ASSERT_EQ(test::RunCommand(Cli(data.path(), "scan --fresh '" + image + "' 2>/dev/null"), &tree), 0);
    ASSERT_EQ(test::RunCommand(Cli(data.path(), "scan --fresh '" + image + "' --json 2>/dev/null | " + kListingFacts), &json), 0);
    // files, files with an extension, the extensions
    std::istringstream listed(json);
    size_t files = 0, withExtension = 0;
    std::string extensions;
    listed >> files >> withExtension >> extensions;
    ASSERT_GT(files, 0u) << json;
    EXPECT_NE(tree.find("# " + std::to_string(files) + " files in "), std::string::npos) << tree;
    ASSERT_EQ(test::RunCommand(Cli(data.path(), "scan --fresh '" + image + "' --ext " + extensions + " 2>/dev/null"), &search), 0);
    EXPECT_NE(search.find("# " + std::to_string(withExtension) + " files in "), std::string::npos) << search;
    ASSERT_EQ(test::RunCommand(Cli(data.path(), "recover --fresh '" + image + "' --to '" + work.File("out") + "' --report '" +
                                                    work.File("report.xml") + "' 2>/dev/null"), &out), 0) << out;
    const std::string n = std::to_string(files);
    EXPECT_NE(out.find("Finished " + n + " of " + n + " files: " + n + " recovered"), std::string::npos) << out;
    ASSERT_EQ(test::RunCommand(std::string(kReportFacts) + " '" + work.File("report.xml") + "'", &facts), 0);
    std::istringstream reported(facts);
    size_t written = 0, twice = 0, wrongTimes = 0, fileSystemTimes = 0;
    reported >> written >> twice >> wrongTimes >> fileSystemTimes;
    EXPECT_EQ(written, files) << facts;
    EXPECT_EQ(twice, 0u) << "files written by two engines\n" << out;
    EXPECT_EQ(wrongTimes, 0u) << facts;
    EXPECT_GT(fileSystemTimes, 0u) << facts;
    EXPECT_EQ(test::Sha256File(image), before);
  }
}

// Pictures nothing points at any more are still listed (carved, in their own folder) and
// written; a JPEG kept under another extension is offered both ways, as the merged search did.
TEST(OneResultSet, CarvedOnlyPicturesAndAPictureStoredAsDat) {
  for (const char* tool : {"mkfs.fat", "mcopy", "mdel", "convert", "python3"})
    if (!test::HaveTool(tool)) GTEST_SKIP() << tool << " missing";
  test::TempDir work, data;
  const std::string card = work.File("dat.img");
  ASSERT_EQ(test::RunCommand("cd '" + work.path() + "' && export MTOOLS_SKIP_CHECK=1 && "
                             "convert -size 120x90 plasma:fractal -seed 3 -quality 85 pic.jpg && cp pic.jpg PHOTO.DAT && "
                             "convert -size 90x60 gradient:navy-gold -quality 80 KEEP.JPG && "
                             "mkfs.fat -C -F 32 dat.img 40960 >/dev/null && mcopy -i dat.img PHOTO.DAT KEEP.JPG :: && "
                             "mdel -i dat.img ::PHOTO.DAT ::KEEP.JPG"), 0);
  std::string json;
  ASSERT_EQ(test::RunCommand(Cli(data.path(), "scan --fresh '" + card + "' --json 2>/dev/null | python3 -c \""
                                              "import sys, json\n"
                                              "for o in json.load(sys.stdin):\n"
                                              "    print(o['path'], o['state'], ','.join(o['found_by']))\""), &json), 0);
  EXPECT_NE(json.find("/_HOTO.DAT deleted fast-fat\n"), std::string::npos) << json;
  EXPECT_NE(json.find("/_EEP.JPG deleted fast-fat,file-type\n"), std::string::npos) << json;
  EXPECT_NE(json.find(".jpg carved file-type\n"), std::string::npos) << json;
  EXPECT_NE(json.find("/Carved files/"), std::string::npos) << json;
  std::string out;
  ASSERT_EQ(test::RunCommand(Cli(data.path(), "recover --fresh '" + card + "' --to '" + work.File("out") + "' 2>/dev/null"), &out), 0);
  EXPECT_NE(out.find("Finished 3 of 3 files: 3 recovered"), std::string::npos) << out;
  std::multiset<std::string> got;
  for (const auto& f : FilesUnder(work.File("out"))) got.insert(test::Sha256File(f));
  EXPECT_EQ(got.count(test::Sha256File(work.File("pic.jpg"))), 2u) << out;
  EXPECT_EQ(got.count(test::Sha256File(work.File("KEEP.JPG"))), 1u) << out;
}

// Carved files that carry their own names and dates: a picture's Exif date and camera (and its
// time), an MP3's artist and title, a movie's creation time. Two copies of one picture never
// share a name.
TEST(OneResultSet, CarvedFilesAreNamedFromTheirOwnMetadata) {
  for (const char* tool : {"mkfs.fat", "convert", "exiftool", "ffmpeg"})
    if (!test::HaveTool(tool)) GTEST_SKIP() << tool << " missing";
  test::TempDir work, data;
  ASSERT_EQ(test::RunCommand(
                "cd '" + work.path() + "' && convert -size 100x80 plasma:fractal -seed 2 -quality 85 photo.jpg && "
                "exiftool -q -overwrite_original '-DateTimeOriginal=2021:07:04 10:11:12' '-Model=TestCam 5' photo.jpg && "
                "ffmpeg -loglevel error -f lavfi -i sine=duration=1 -metadata artist='The Band' "
                "-metadata title='First Song' -id3v2_version 3 song.mp3 && "
                "ffmpeg -loglevel error -f lavfi -i testsrc=duration=1:size=64x48:rate=5 -c:v mpeg4 "
                "-metadata creation_time=2020-01-02T03:04:05Z -movflags +faststart clip.mp4 && "
                "mkfs.fat -C -F 32 card.img 40960 >/dev/null && "
                "dd if=photo.jpg of=card.img bs=512 seek=30000 conv=notrunc status=none && "
                "dd if=photo.jpg of=card.img bs=512 seek=35000 conv=notrunc status=none && "
                "dd if=song.mp3 of=card.img bs=512 seek=40000 conv=notrunc status=none && "
                "dd if=clip.mp4 of=card.img bs=512 seek=50000 conv=notrunc status=none"), 0);
  std::string out;
  const std::string dest = work.File("out");
  ASSERT_EQ(test::RunCommand(Cli(data.path(), "recover --fresh '" + work.File("card.img") + "' --to '" + dest +
                                                  "' 2>/dev/null"), &out), 0) << out;
  EXPECT_NE(out.find("Finished 4 of 4 files: 4 recovered"), std::string::npos) << out;
  const std::string photo = test::Sha256File(work.File("photo.jpg"));
  EXPECT_EQ(test::Sha256File(dest + "/photo/2021-07-04 10-11-12 TestCam 5.jpg"), photo) << out;
  EXPECT_EQ(test::Sha256File(dest + "/photo/2021-07-04 10-11-12 TestCam 5(1).jpg"), photo) << out;
  EXPECT_TRUE(fs::exists(dest + "/audio/The Band - First Song.mp3")) << out;
  EXPECT_TRUE(fs::exists(dest + "/video/2020-01-02 03-04-05.mp4")) << out;
  struct stat st {};
  ASSERT_EQ(::stat((dest + "/photo/2021-07-04 10-11-12 TestCam 5.jpg").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1625393472) << "the Exif DateTimeOriginal";
}

}  // namespace
}  // namespace salvora
