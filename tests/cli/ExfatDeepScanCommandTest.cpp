// exFAT camera cards quick-formatted over their old folders, through salvora-cli: the deep scan
// brings the folders back with their long names from the directory sectors left in free space,
// and writes the files byte for byte.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>

#include "support/TestSupport.h"

namespace salvora {
namespace {

std::string Cli(const std::string& dataDir, const std::string& args) {
  return "SALVORA_DATA_DIR='" + dataDir + "' '" + test::CliPath() + "' " + args;
}

// Recovers everything the advanced scan finds on image; gives each written file's path on the
// source (the folder names the format took become "LostFolder*") and where it was written.
std::map<std::string, std::string> RecoverAll(const std::string& image, const std::string& to, std::string& out) {
  test::TempDir data;
  std::map<std::string, std::string> written;
  if (test::RunCommand(Cli(data.path(), "recover --fresh '" + image + "' --to '" + to + "' 2>/dev/null"), &out) != 0)
    return written;
  std::istringstream lines(out);
  const std::regex line(R"(^/LostFolder\d+(/.*) -> (.*): Success( \(damaged at byte \d+\))?$)");
  std::smatch m;
  for (std::string text; std::getline(lines, text);)
    if (std::regex_match(text, m, line)) written["*" + m[1].str()] = m[2].str();
  return written;
}

void ExpectWrittenAsOriginals(const std::map<std::string, std::string>& written, const std::string& out,
                              const std::string& originals,
                              const std::vector<std::pair<std::string, std::string>>& expected) {
  for (const auto& [path, original] : expected) {
    auto it = written.find(path);
    ASSERT_NE(it, written.end()) << path << "\n" << out;
    EXPECT_EQ(test::Sha256File(it->second), test::Sha256File(originals + "/" + original)) << path;
  }
}

// The format rewrote the root, so DCIM and DOCS lost their names; everything below keeps its own,
// a folder deleted inside a deleted folder before the format included.
TEST(ExfatDeepScan, QuickFormattedCardGivesBackOldFoldersAndLongNamesByteForByte) {
  const std::string image = test::FixturePath("exfat-formatted.img");
  const std::string before = test::Sha256File(image);
  test::TempDir work;
  std::string out;
  const auto written = RecoverAll(image, work.File("out"), out);
  EXPECT_NE(out.find("Finished 7 of 7 files: 7 recovered, 0 failed"), std::string::npos) << out;
  ExpectWrittenAsOriginals(written, out, test::FixturePath("exfat-formatted-src"),
                           {{"*/100CANON/IMG_0001.JPG", "IMG_0001.JPG"},
                            {"*/100CANON/IMG_0002.JPG", "IMG_0002.JPG"},
                            {"*/100CANON/MVI_0003.MOV", "MVI_0003.MOV"},
                            {"*/Summer holiday 2026/Beach at sunset on the last evening of the trip.jpg", "beach.jpg"},
                            {"*/Summer holiday 2026/Evening/Night sky over the harbour.jpg", "night.jpg"},
                            {"*/OLD/Older/forgotten.txt", "forgotten.txt"},
                            {"*/Meeting notes from March.txt", "notes.txt"}});
  EXPECT_EQ(test::Sha256File(image), before);
}

// The other card (32 KiB clusters) had photos, a long-named picture and a folder tree deleted
// before its format: they come back from their old folders' sectors too.
TEST(ExfatDeepScan, FilesDeletedBeforeTheFormatComeBackInTheirFolders) {
  const std::string image = test::FixturePath("exfat-card-qf.img");
  const std::string before = test::Sha256File(image);
  test::TempDir work;
  std::string out;
  const auto written = RecoverAll(image, work.File("out"), out);
  ExpectWrittenAsOriginals(written, out, test::FixturePath("exfat-src"),
                           {{"*/100CANON/IMG_0002.JPG", "IMG_0002.JPG"},
                            {"*/100CANON/Harbour at dusk, long exposure (edited version).jpg", "harbour.jpg"},
                            {"*/beach.jpg", "beach.jpg"},
                            {"*/Day 2/sunset.jpg", "sunset.jpg"}});
  EXPECT_EQ(test::Sha256File(image), before);
}

}  // namespace
}  // namespace salvora
