// An exFAT camera card quick-formatted over its old folders, through salvora-cli: the deep scan
// brings the folders back with their long names from the directory sectors left in free space,
// and writes the files byte for byte.
#include <gtest/gtest.h>

#include <regex>

#include "support/TestSupport.h"

namespace salvora {
namespace {

std::string Cli(const std::string& dataDir, const std::string& args) {
  return "SALVORA_DATA_DIR='" + dataDir + "' '" + test::CliPath() + "' " + args;
}

TEST(ExfatDeepScan, QuickFormattedCardGivesBackOldFoldersAndLongNamesByteForByte) {
  const std::string image = test::FixturePath("exfat-formatted.img");
  const std::string src = test::FixturePath("exfat-formatted-src");
  const std::string before = test::Sha256File(image);
  test::TempDir work, data;
  std::string listing;
  ASSERT_EQ(test::RunCommand(Cli(data.path(), "scan --fresh '" + image + "' 2>/dev/null"), &listing), 0);
  // The format rewrote the root, so DCIM and DOCS lost their names: each is the LostFolder of
  // its directory cluster, and everything below keeps its own.
  std::smatch m;
  ASSERT_TRUE(std::regex_search(listing, m, std::regex(R"(/(LostFolder\d+)/100CANON/IMG_0001\.JPG)"))) << listing;
  const std::string dcim = "/" + m[1].str() + "/";
  ASSERT_TRUE(std::regex_search(listing, m, std::regex(R"(/(LostFolder\d+)/Meeting notes from March\.txt)"))) << listing;
  const std::string docs = "/" + m[1].str() + "/";
  EXPECT_NE(dcim, docs);
  const std::pair<std::string, std::string> files[] = {
      {dcim + "100CANON/IMG_0001.JPG", "IMG_0001.JPG"},
      {dcim + "100CANON/IMG_0002.JPG", "IMG_0002.JPG"},
      {dcim + "100CANON/MVI_0003.MOV", "MVI_0003.MOV"},
      {dcim + "Summer holiday 2026/Beach at sunset on the last evening of the trip.jpg", "beach.jpg"},
      {dcim + "Summer holiday 2026/Evening/Night sky over the harbour.jpg", "night.jpg"},
      // Deleted with its folders before the format: a deleted folder inside a deleted folder.
      {dcim + "OLD/Older/forgotten.txt", "forgotten.txt"},
      {docs + "Meeting notes from March.txt", "notes.txt"},
  };
  for (const auto& [path, original] : files)
    EXPECT_NE(listing.find(path + "\n"), std::string::npos) << path << "\n" << listing;

  std::string out;
  ASSERT_EQ(test::RunCommand(Cli(data.path(), "recover --fresh '" + image + "' --to '" + work.File("out") +
                                                  "' 2>/dev/null"), &out), 0) << out;
  for (const auto& [path, original] : files)
    EXPECT_EQ(test::Sha256File(work.File("out") + path), test::Sha256File(src + "/" + original)) << path << "\n" << out;
  EXPECT_EQ(test::Sha256File(image), before);
}

}  // namespace
}  // namespace salvora
