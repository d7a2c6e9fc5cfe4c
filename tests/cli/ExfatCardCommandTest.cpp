// salvora-cli on a camera card formatted and written by the exFAT tools: what the fast scan
// lists, what it recovers, and where the allocation bitmap leaves a deleted clip short.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/TestSupport.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

std::string Cli(const std::string& dataDir, const std::string& args) {
  return "SALVORA_DATA_DIR='" + dataDir + "' '" + test::CliPath() + "' " + args;
}

const char* const kDeleted[] = {
    "/DCIM/100CANON/IMG_0002.JPG", "/DCIM/100CANON/IMG_0005.JPG", "/DCIM/100CANON/MVI_0009.MOV",
    "/DCIM/100CANON/Harbour at dusk, long exposure (edited version).jpg", "/Trips/beach.jpg",
    "/Trips/Day 2/sunset.jpg"};

TEST(ExfatCardCommand, ListsAndRecoversEveryDeletedFileAndLeavesTheLiveOnes) {
  test::TempDir data, dest;
  const std::string image = test::FixturePath("exfat-card.img");
  const std::string before = test::Sha256File(image);
  std::string out;
  ASSERT_EQ(test::RunCommand(Cli(data.path(), "scan --fast '" + image + "' 2>/dev/null"), &out), 0);
  for (const char* path : kDeleted) EXPECT_NE(out.find(std::string(path) + "\n"), std::string::npos) << path << "\n" << out;
  EXPECT_NE(out.find("d deleted -              0"), std::string::npos) << out;
  for (const char* live : {"IMG_0001.JPG", "MVI_0010.MOV", "notes.txt"}) EXPECT_EQ(out.find(live), std::string::npos) << live;
  EXPECT_NE(out.find("# 6 files in 4 folders"), std::string::npos) << out;

  ASSERT_EQ(test::RunCommand(Cli(data.path(), "recover --fast '" + image + "' --to '" + dest.path() + "' 2>/dev/null"), &out), 0);
  EXPECT_NE(out.find("Finished 6 of 6 files: 6 recovered, 0 failed"), std::string::npos) << out;
  const std::string src = test::FixturePath("exfat-src/");
  for (auto [got, want] : {std::pair{"photo/IMG_0002.JPG", "IMG_0002.JPG"}, {"photo/IMG_0005.JPG", "IMG_0005.JPG"},
                           {"photo/Harbour at dusk, long exposure (edited version).jpg", "harbour.jpg"},
                           {"photo/beach.jpg", "beach.jpg"}, {"photo/sunset.jpg", "sunset.jpg"},
                           // written in turns with another clip: its freed clusters are not one run
                           {"video/MVI_0009.MOV", "MVI_0009.MOV"}})
    EXPECT_EQ(test::Sha256File(dest.File(got)), test::Sha256File(src + want)) << got;
  EXPECT_EQ(test::Sha256File(image), before);
}

// The Sleuth Kit names the same deleted files; the advanced scan lists each once though carving
// finds the photos in free space too; and the card is recognised inside a partition of a disk,
// by its backup boot region when the main boot sector is gone.
TEST(ExfatCardCommand, AgreesWithTheSleuthKitAndListsCarvedCopiesOnce) {
  if (!test::HaveTool("fls")) GTEST_SKIP() << "fls missing";
  test::TempDir data, work;
  const std::string image = test::FixturePath("exfat-card.img");
  std::string fls, out;
  ASSERT_EQ(test::RunCommand("fls -r -p -f exfat '" + image + "'", &fls), 0);
  ASSERT_EQ(test::RunCommand(Cli(data.path(), "scan '" + image + "' 2>/dev/null"), &out), 0);
  std::istringstream lines(fls);
  int deleted = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("r/r * ", 0) != 0) continue;
    const std::string path = "/" + line.substr(line.find('\t') + 1);
    EXPECT_NE(out.find(path + "\n"), std::string::npos) << path << "\n" << out;
    ++deleted;
  }
  EXPECT_EQ(deleted, 6) << fls;
  EXPECT_NE(out.find("# 6 files in 4 folders"), std::string::npos) << out;
  ASSERT_EQ(test::RunCommand(Cli(data.path(), "scan --json '" + image + "' 2>/dev/null"), &out), 0);
  EXPECT_NE(out.find("\"name\": \"IMG_0002.JPG\", \"folder\": false, \"size\": 203248"), std::string::npos) << out;
  EXPECT_NE(out.find("\"found_by\": [\"fast-exfat\", \"file-type\"]"), std::string::npos) << out;

  const std::string disk = work.File("disk.img");
  ASSERT_EQ(test::RunCommand("truncate -s 1M '" + disk + "' && cat '" + image + "' >> '" + disk + "' && dd if=/dev/zero of='" +
                             disk + "' bs=512 seek=2048 count=1 conv=notrunc status=none"),
            0);
  ASSERT_EQ(test::RunCommand("SALVORA_DISK_MAP=0='" + disk + "' " +
                                 Cli(data.path(), "scan --fast disk:0:2048:131072 2>/dev/null"), &out), 0);
  EXPECT_NE(out.find("/Trips/Day 2/sunset.jpg\n# 6 files in 4 folders"), std::string::npos) << out;
}

// The card filled up after the deletions: every cluster is in use again, so a deleted clip whose
// chain was cleared has only its first cluster, and its recovery says it is short.
TEST(ExfatCardCommand, AFragmentedClipWhoseClustersWereTakenIsDamaged) {
  if (!test::HaveTool("istat")) GTEST_SKIP() << "istat missing";
  test::TempDir data, dest, work;
  const std::string image = work.File("full.img");
  fs::copy_file(test::FixturePath("exfat-card.img"), image);
  std::string istat;
  ASSERT_EQ(test::RunCommand("istat -f exfat '" + image + "' 2052 | sed -n '/Sectors/{n;p}' | cut -d' ' -f1", &istat), 0);
  {
    std::fstream f(image, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(std::streamoff(std::stoull(istat) * 512));
    const std::string ones(512, '\xFF');
    f.write(ones.data(), std::streamsize(ones.size()));
  }
  std::string out;
  ASSERT_EQ(test::RunCommand(Cli(data.path(), "recover --fast '" + image + "' --to '" + dest.path() + "' 2>/dev/null"), &out), 1);
  EXPECT_NE(out.find("MVI_0009.MOV: Damaged (short: 32768 of 921723 bytes)"), std::string::npos) << out;
  // One-run photos do not depend on the bitmap.
  EXPECT_EQ(test::Sha256File(dest.File("photo/IMG_0002.JPG")), test::Sha256File(test::FixturePath("exfat-src/IMG_0002.JPG")));
}

}  // namespace
}  // namespace salvora
