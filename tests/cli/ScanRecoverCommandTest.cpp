// salvora-cli scan --fast and recover --fast on a fixture volume.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestSupport.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

std::string Cli(const std::string& dataDir, const std::string& args) {
  return "SALVORA_DATA_DIR='" + dataDir + "' '" + test::CliPath() + "' " + args;
}

TEST(ScanCommand, PrintsTheFoundTree) {
  test::TempDir data;
  std::string out;
  const std::string image = test::FixturePath("fat16-del.img");
  ASSERT_EQ(test::RunCommand(Cli(data.path(), "scan --fast '" + image + "' 2>/dev/null"), &out), 0);
  EXPECT_NE(out.find("d deleted -              0"), std::string::npos) << "folders have no content check\n" << out;
  EXPECT_NE(out.find("  /_HOTOS/\n"), std::string::npos) << out;
  EXPECT_NE(out.find("f deleted intact        11988  "), std::string::npos) << out;
  EXPECT_NE(out.find("  /DCIM/100CAM/Long Holiday Picture.jpg\n"), std::string::npos) << out;
  EXPECT_NE(out.find("# 12 files in 6 folders"), std::string::npos) << out;
  // A second scan in the same minute starts a fresh log: nothing is listed twice.
  std::string again;
  ASSERT_EQ(test::RunCommand(Cli(data.path(), "scan --fast '" + image + "' 2>/dev/null"), &again), 0);
  EXPECT_EQ(again, out);
}

// The progress of an advanced scan only moves forward, and its file-system pass, a small part of
// the scan, claims no time left for the whole (it knows only its own).
TEST(ScanCommand, AdvancedScanProgressMovesForwardAndGuessesNoTimeFromItsFirstPass) {
  test::TempDir data, work;
  const std::string image = work.File("card.img");
  fs::copy_file(test::FixturePath("fat32.img"), image);
  std::string err;
  ASSERT_EQ(test::RunCommand("SALVORA_FAULTS='" + image + "=slow:2000' " +
                             Cli(data.path(), "scan --fresh --no-verify '" + image + "' 2>&1 >/dev/null | tr '\\r' '\\n'"),
                             &err), 0);
  int last = -1, firstPassLines = 0;
  for (size_t at = err.find("scanning "); at != std::string::npos; at = err.find("scanning ", at + 1)) {
    const std::string line = err.substr(at, err.find('\n', at) - at);
    const int percent = std::stoi(line.substr(line.find(": ") + 2));
    EXPECT_GE(percent, last) << err;
    last = percent;
    if (line.find(" sectors") != std::string::npos) continue;
    ++firstPassLines;
    EXPECT_NE(line.find("unknown left"), std::string::npos) << line;
  }
  EXPECT_GE(firstPassLines, 2) << err;
  EXPECT_GE(last, 90) << err;
}

TEST(ScanCommand, NtfsFindsSayWhetherTheyWereDeleted) {
  test::TempDir data, dest;
  std::string out;
  const std::string image = test::FixturePath("ntfs-files.img");
  ASSERT_EQ(test::RunCommand(Cli(data.path(), "scan --fast '" + image + "' 2>/dev/null"), &out), 0);
  EXPECT_NE(out.find("f deleted damaged@186         9022  "), std::string::npos) << out;
  EXPECT_NE(out.find("  /Gone/inner.txt\n"), std::string::npos) << out;
  // Every file the fast NTFS scan lists was deleted, so --only-deleted keeps them all.
  ASSERT_EQ(test::RunCommand(Cli(data.path(), "recover --fast --only-deleted '" + image + "' --to '" + dest.path() +
                                                  "' 2>/dev/null"),
                             &out),
            0);
  EXPECT_NE(out.find("Finished 12 of 12 files"), std::string::npos) << out;
}

TEST(ScanCommand, RefusesWhatItCannotScan) {
  test::TempDir data;
  EXPECT_EQ(test::RunCommand(Cli(data.path(), "scan --fast '" + test::FixturePath("zero.img") + "' 2>/dev/null")), 2);
  EXPECT_EQ(test::RunCommand(Cli(data.path(), "scan --fast /nonexistent.img 2>/dev/null")), 2);
  EXPECT_EQ(test::RunCommand(Cli(data.path(), "scan 2>/dev/null")), 2);
  std::string err;
  EXPECT_EQ(test::RunCommand(Cli(data.path(), "scan --fast volume:9999 2>&1"), &err), 2);
  EXPECT_NE(err.find("no source volume:9999"), std::string::npos) << err;
  EXPECT_EQ(test::RunCommand(Cli(data.path(), "recover --fast x.img 2>/dev/null")), 2);
}

TEST(RecoverCommand, WritesEveryFileIntoItsCategoryWithUniqueNames) {
  test::TempDir data, dest;
  std::string out;
  const std::string image = test::FixturePath("fat32-del.img");
  const std::string before = test::Sha256File(image);
  ASSERT_EQ(test::RunCommand(Cli(data.path(), "recover --fast '" + image + "' --to '" + dest.path() + "/' 2>/dev/null"), &out), 0) << out;
  EXPECT_NE(out.find("Finished 12 of 12 files: 12 recovered, 0 failed"), std::string::npos) << out;
  EXPECT_EQ(test::Sha256File(dest.File("photo/_hoto1.jpg")), test::Sha256File(test::FixturePath("fat-src/logo.jpg")));
  EXPECT_EQ(test::Sha256File(dest.File("photo/A.JPG")), test::Sha256File(test::FixturePath("fat-src/logo.jpg")));
  EXPECT_EQ(test::Sha256File(dest.File("photo/_MG_0002.PNG")), test::Sha256File(test::FixturePath("fat-src/netscape.png")));
  EXPECT_TRUE(fs::exists(dest.File("document/_AME.TXT")));
  EXPECT_TRUE(fs::exists(dest.File("document/_AME(1).TXT")));
  EXPECT_TRUE(fs::exists(dest.File("others/_MPTY.DAT")));
  EXPECT_NE(out.find("/_HOTOS/SUB/C.TXT -> " + dest.path() + "/document/C.TXT: Success\n"), std::string::npos) << out;
  // A second run into the same folder adds numbered names and replaces nothing.
  ASSERT_EQ(test::RunCommand(Cli(data.path(), "recover --fast '" + image + "' --to '" + dest.path() + "' >/dev/null 2>&1")), 0);
  EXPECT_TRUE(fs::exists(dest.File("photo/_hoto1(1).jpg")));
  EXPECT_EQ(test::Sha256File(image), before);
}

// A file the medium holds less of than its size is kept, but counted and reported as damaged.
TEST(RecoverCommand, AShortRecoveryIsDamagedNotRecovered) {
  test::TempDir data, dest;
  std::string out;
  const std::string report = dest.File("report.xml");
  ASSERT_EQ(test::RunCommand(Cli(data.path(), "recover --fast '" + test::FixturePath("fat-short.img") + "' --to '" +
                                                  dest.path() + "/out' --report '" + report + "' 2>/dev/null"), &out), 1);
  EXPECT_NE(out.find(": Damaged (short: 4096 of 12288 bytes)"), std::string::npos) << out;
  EXPECT_EQ(out.find("Success (short"), std::string::npos) << out;
  EXPECT_NE(out.find(" 1 failed\n"), std::string::npos) << out;
  const auto xml = test::ReadFileBytes(report);
  EXPECT_NE(std::string(xml.begin(), xml.end()).find(" status=\"short\""), std::string::npos);
}

// An ntfs-3g mount of the very image that is scanned as disk 0: the destination lives on the
// source, so recovery is refused and not even the destination folder is made there.
TEST(RecoverCommand, RefusesADestinationOnTheSourceWithoutCreatingIt) {
  if (!test::HaveTool("ntfs-3g")) GTEST_SKIP() << "ntfs-3g missing";
  test::TempDir data, work;
  const std::string image = work.File("disk.img"), mount = work.File("mnt");
  fs::copy_file(test::FixturePath("ntfs.img"), image);
  fs::create_directories(mount);
  if (test::RunCommand("ntfs-3g '" + image + "' '" + mount + "' 2>/dev/null") != 0) GTEST_SKIP() << "cannot mount";
  struct Unmount {
    std::string path;
    ~Unmount() { test::RunCommand("umount '" + path + "' 2>/dev/null || fusermount -u '" + path + "'"); }
  } unmount{mount};
  std::string out;
  const std::string cmd = "SALVORA_DISK_MAP=0='" + image + "' " +
                          Cli(data.path(), "recover --fast disk:0 --to '" + mount + "/new/dir' 2>&1");
  EXPECT_EQ(test::RunCommand(cmd, &out), 2) << out;
  EXPECT_NE(out.find("is on the scanned source"), std::string::npos) << out;
  EXPECT_FALSE(fs::exists(mount + "/new")) << "the refused destination was created on the source";
}

}  // namespace
}  // namespace salvora

namespace salvora {
namespace {

TEST(RecoverCommand, PartitionOfADiskThroughTheDiskMap) {
  // fat16-del.img placed at sector 2048 of a disk image: every read is offset by the start.
  test::TempDir data, dest, disk;
  const std::string image = disk.File("disk.img");
  ASSERT_EQ(test::RunCommand("dd if=/dev/zero of='" + image + "' bs=512 count=2048 status=none && cat '" +
                             test::FixturePath("fat16-del.img") + "' >> '" + image + "'"), 0);
  std::string out;
  const std::string cmd = "SALVORA_DISK_MAP=0='" + image + "' " +
                          Cli(data.path(), "recover --fast disk:0:2048:65536 --to '" + dest.path() + "' 2>/dev/null");
  ASSERT_EQ(test::RunCommand(cmd, &out), 0) << out;
  EXPECT_NE(out.find("/_HOTOS/SUB/C.TXT -> "), std::string::npos) << out;
  EXPECT_EQ(test::Sha256File(dest.File("photo/name with spaces.jpg")),
            test::Sha256File(test::FixturePath("fat-src/rose.jpg")));
}

}  // namespace
}  // namespace salvora
