// Several salvora-cli processes of one user share a data folder: scans started together each keep
// to their own session, and a saved scan is only ever continued from its own source's logs.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "scan/ScanCheckpoint.h"
#include "scan/ScanLogCatalogue.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

// A finished scan is never offered again: these scans stand for ones cut off before their end.
void MarkUnfinished(const ScanLogCatalogue& catalogue) {
  for (const auto& entry : catalogue.Entries())
    std::filesystem::remove(entry.SessionFolder() + "/" + ScanCheckpoint::kFinishedName);
}

namespace fs = std::filesystem;

// Two starts met in the catalogue in more than half the fast rounds and one deep round in ten
// before the lock; fifty rounds of tiny images take seconds.
constexpr int kRounds = 50;

std::string Cli(const std::string& dataDir, const std::string& args) {
  return "SALVORA_DATA_DIR='" + dataDir + "' '" + test::CliPath() + "' " + args;
}

// A 1.44 MB FAT12 image with two deleted text files named and filled after word.
bool MakeImage(const std::string& path, const std::string& word, const test::TempDir& dir) {
  const std::string text = dir.File(word + ".txt"), one = "::/" + word + "-one.txt", two = "::/" + word + "-two.txt";
  test::WriteFileBytes(text, std::vector<uint8_t>(3000, uint8_t(word[0])));
  return test::RunCommand("mkfs.fat -C -F 12 '" + path + "' 1440 >/dev/null && mcopy -i '" + path + "' '" + text +
                          "' " + one + " && mcopy -i '" + path + "' '" + text + "' " + two + " && mdel -i '" + path +
                          "' " + one + " " + two) == 0;
}

class SharedDataFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"mkfs.fat", "mcopy", "mdel"})
      if (!test::HaveTool(tool)) GTEST_SKIP() << tool << " missing";
    ASSERT_TRUE(MakeImage(a_, "alpha", dir_));
    ASSERT_TRUE(MakeImage(b_, "bravo", dir_));
  }
  std::string Listing(const std::string& image, const std::string& mode = "") {
    test::TempDir alone;
    std::string out;
    EXPECT_EQ(test::RunCommand(Cli(alone.path(), "scan " + mode + "'" + image + "' 2>/dev/null"), &out), 0);
    return out;
  }

  test::TempDir dir_, data_;
  std::string a_ = dir_.File("a.img"), b_ = dir_.File("b.img");
  std::string scanLog_ = data_.path() + "/SalvoraData/ScanLog";
};

TEST_F(SharedDataFolderTest, ScansStartedTogetherEachListTheirOwnImageAndResumeFromTheirOwnLogs) {
  // The live JSON listing of fast scans, and the advanced scan, which saves its sessions.
  const std::string modes[] = {"--fast --json ", ""};
  const std::string wantA[] = {Listing(a_, modes[0]), Listing(a_)}, wantB[] = {Listing(b_, modes[0]), Listing(b_)};
  for (int m = 0; m < 2; ++m) {
    ASSERT_NE(wantA[m].find("alpha-one.txt"), std::string::npos) << wantA[m];
    ASSERT_NE(wantB[m].find("bravo-one.txt"), std::string::npos) << wantB[m];
  }
  const std::string outA = dir_.File("a.out"), outB = dir_.File("b.out");
  for (int round = 0; round < kRounds; ++round) {
    const int m = round % 3 == 2 ? 1 : 0;
    const int rc = test::RunCommand(
        Cli(data_.path(), "scan " + modes[m] + "'" + a_ + "' >'" + outA + "' 2>/dev/null & a=$!; ") +
        Cli(data_.path(), "scan " + modes[m] + "'" + b_ + "' >'" + outB + "' 2>/dev/null & b=$!; ") +
        "wait $a && wait $b");
    ASSERT_EQ(rc, 0) << "round " << round;
    const auto a = test::ReadFileBytes(outA), b = test::ReadFileBytes(outB);
    ASSERT_EQ(std::string(a.begin(), a.end()), wantA[m]) << "round " << round;
    ASSERT_EQ(std::string(b.begin(), b.end()), wantB[m]) << "round " << round;
  }
  // Each image's last scan is saved in a folder of its own, and recovering from it gives back
  // that image's files.
  ScanLogCatalogue catalogue(scanLog_);
  ASSERT_EQ(catalogue.Entries().size(), 2u);
  EXPECT_NE(catalogue.Entries()[0].SessionFolder(), catalogue.Entries()[1].SessionFolder());
  MarkUnfinished(catalogue);
  for (const auto& [image, word] : {std::pair{a_, "alpha"}, std::pair{b_, "bravo"}}) {
    const std::string dest = dir_.File(std::string(word) + "-out");
    std::string out;
    EXPECT_EQ(test::RunCommand(Cli(data_.path(), "recover --resume '" + image + "' --to '" + dest + "' 2>&1"), &out),
              0) << out;
    EXPECT_NE(out.find("continuing the scan of"), std::string::npos) << out;
    EXPECT_EQ(test::Sha256File(dest + "/document/" + word + "-one.txt"),
              test::Sha256File(dir_.File(std::string(word) + ".txt"))) << out;
    EXPECT_EQ(out.find(word == std::string("alpha") ? "bravo" : "alpha"), std::string::npos) << out;
  }
}

TEST_F(SharedDataFolderTest, ASavedScanWhoseFolderHoldsAnotherSourcesLogsIsNeverRead) {
  std::string out;
  ASSERT_EQ(test::RunCommand(Cli(data_.path(), "scan '" + a_ + "' >/dev/null 2>&1")), 0);
  ASSERT_EQ(test::RunCommand(Cli(data_.path(), "scan '" + b_ + "' >/dev/null 2>&1")), 0);
  // The catalogue as two programs sharing a session used to leave it: b's scan saved in a's folder.
  ScanLogCatalogue catalogue(scanLog_);
  ASSERT_EQ(catalogue.Entries().size(), 2u);
  MarkUnfinished(catalogue);
  const ScanSessionEntry a = catalogue.Entries()[0];
  const std::string aFolder = a.SessionFolder();
  ASSERT_EQ(catalogue.SaveProgress(0, 0, 0, 2880, a.Resume(), aFolder, b_), 0);
  const size_t aLogs = std::distance(fs::directory_iterator(aFolder), fs::directory_iterator{});

  const std::string dest = dir_.File("out");
  EXPECT_EQ(test::RunCommand(Cli(data_.path(), "recover --resume '" + b_ + "' --to '" + dest + "' 2>&1"), &out), 2)
      << out;
  EXPECT_NE(out.find("the saved scan of " + b_ + " is not resumed: its folder " + aFolder + " holds the logs of image " +
                     a_), std::string::npos) << out;
  EXPECT_FALSE(fs::exists(dest));
  // a's logs stay whole, and a's own scan still resumes from them.
  EXPECT_EQ(size_t(std::distance(fs::directory_iterator(aFolder), fs::directory_iterator{})), aLogs);
  out.clear();
  EXPECT_EQ(test::RunCommand(Cli(data_.path(), "scan --resume '" + a_ + "' 2>&1"), &out), 0) << out;
  EXPECT_NE(out.find("continuing the scan of " + a_), std::string::npos) << out;
  EXPECT_NE(out.find("alpha-one.txt"), std::string::npos) << out;
  // Without --resume b is scanned afresh, on its own.
  out.clear();
  EXPECT_EQ(test::RunCommand(Cli(data_.path(), "scan '" + b_ + "' 2>/dev/null"), &out), 0);
  EXPECT_EQ(out, Listing(b_));
}

}  // namespace
}  // namespace salvora
