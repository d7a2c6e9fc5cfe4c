// FAT names as the card holds them, through salvora-cli, with The Sleuth Kit's fls as the oracle:
// long names whole however many bytes they take (fast and deep scans, before and after a quick
// format), the first letter of a deleted entry lost only where no long name gives it back and
// shown as "_", and 8.3 names in the case their entry's flags give.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "support/TestSupport.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

std::string Quote(const std::string& path) { return "'" + path + "'"; }

std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

const std::string kHanName = Repeat("\xE5\x86\x99", 250) + ".jpg";  // U+5199: 754 bytes
const std::string kCyrillicName = Repeat("\xD0\x96", 250) + ".jpg";  // U+0416: 504 bytes

// The card of tests/fixtures/wholenames-card.sh, made in a folder of its own.
struct NamesCard {
  test::TempDir data, dir;
  std::string image = dir.File("card.img");
  bool ok = test::HaveTool("mkfs.fat") && test::HaveTool("mcopy") && test::HaveTool("fls") &&
            test::RunCommand("bash " + Quote(std::string(SALVORA_SOURCE_DIR) + "/tests/fixtures/wholenames-card.sh") +
                             " " + Quote(image) + " " + Quote(test::FixturePath("card-src")) + " >/dev/null 2>&1") == 0;
  std::string hash = ok ? test::Sha256File(image) : "";

  int Cli(const std::string& args, std::string& out) const {
    return test::RunCommand("SALVORA_DATA_DIR=" + Quote(data.path()) + " " + Quote(test::CliPath()) + " " + args +
                                " 2>/dev/null",
                            &out);
  }
  // The file paths of a scan's listing (its path column starts at the first " /").
  std::set<std::string> ListedFiles(const std::string& options) const {
    std::string listing;
    EXPECT_EQ(Cli("scan " + options + " " + Quote(image), listing), 0);
    std::set<std::string> files;
    std::istringstream lines(listing);
    for (std::string line; std::getline(lines, line);)
      if (line.rfind("f ", 0) == 0 && line.find(" /") != std::string::npos) files.insert(line.substr(line.find(" /") + 1));
    return files;
  }
  // The file paths fls lists, deleted or not.
  std::set<std::string> FlsFiles() const {
    std::string out;
    EXPECT_EQ(test::RunCommand("fls -r -p " + Quote(image), &out), 0);
    std::set<std::string> files;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
      if (line.rfind("r/r ", 0) == 0 && line.find("(Volume Label Entry)") == std::string::npos)
        files.insert("/" + line.substr(line.find('\t') + 1));
    return files;
  }
};

TEST(WholeNames, FastScanListsAndRecoversTheNamesFlsShows) {
  NamesCard card;
  if (!card.ok) GTEST_SKIP() << "mkfs.fat, mtools or fls missing";
  const std::set<std::string> fls = card.FlsFiles();
  ASSERT_TRUE(fls.count("/DCIM/100CANON/" + kHanName)) << "the card is not as planned";
  const std::set<std::string> listed = card.ListedFiles("--fast");
  for (const std::string& path : listed) EXPECT_TRUE(fls.count(path)) << path;
  for (const char* path : {"/DCIM/100CANON/Holiday photo 2024.jpg", "/DCIM/_01CANON/_OTE.TXT"})
    EXPECT_TRUE(listed.count(path)) << path;
  EXPECT_TRUE(listed.count("/DCIM/100CANON/" + kHanName));
  EXPECT_TRUE(listed.count("/DCIM/100CANON/" + kCyrillicName));

  // Recovered under their own names as far as the destination takes them (255 bytes), extension
  // kept, so they land among the photos; the deleted folder's file keeps its "_".
  std::string out;
  const std::string to = card.dir.File("out");
  EXPECT_EQ(card.Cli("recover --fast " + Quote(card.image) + " --to " + Quote(to), out), 0) << out;
  const std::string pictures = test::FixturePath("card-src/");
  std::map<std::string, std::string> got;
  for (const auto& entry : fs::recursive_directory_iterator(to))
    if (entry.is_regular_file()) got[fs::relative(entry.path(), to).string()] = test::Sha256File(entry.path().string());
  // The one recovered photo whose name begins as name does (shortened past 255 bytes).
  auto recovered = [&](const std::string& name, const std::string& content) {
    int found = 0;
    for (const auto& [path, hash] : got) {
      if (path.rfind("photo/" + name.substr(0, 200), 0) != 0) continue;
      ++found;
      EXPECT_EQ(path.substr(path.size() - 4), ".jpg") << path;
      EXPECT_LE(fs::path(path).filename().string().size(), 255u) << path;
      EXPECT_EQ(hash, test::Sha256File(pictures + content)) << path;
    }
    EXPECT_EQ(found, 1) << name;
  };
  recovered(kHanName, "dsc1a.jpg");
  recovered(kCyrillicName, "dsc2.jpg");
  EXPECT_TRUE(got.count("photo/Holiday photo 2024.jpg")) << out;
  EXPECT_TRUE(got.count("document/_OTE.TXT")) << out;
  EXPECT_EQ(test::Sha256File(card.image), card.hash);
}

TEST(WholeNames, DeepScanAfterAQuickFormatKeepsTheLongNamesWhole) {
  NamesCard card;
  if (!card.ok) GTEST_SKIP() << "mkfs.fat, mtools or fls missing";
  // Before the format the deep scan agrees with the fast one on every name.
  const std::set<std::string> fast = card.ListedFiles("--fast");
  for (const std::string& path : card.ListedFiles("--fresh")) {
    if (path.rfind("/Carved files/", 0) != 0) {
      EXPECT_TRUE(fast.count(path)) << path;
    }
  }

  ASSERT_EQ(test::RunCommand("mkfs.fat -F 32 -s 2 -n NAMES " + Quote(card.image) + " >/dev/null 2>&1"), 0);
  const std::string formatted = test::Sha256File(card.image);
  std::set<std::string> names;
  for (const std::string& path : card.ListedFiles("--fresh")) names.insert(path.substr(path.rfind('/') + 1));
  for (const std::string& name : {std::string("Holiday photo 2024.jpg"), kHanName, kCyrillicName, std::string("IMG_0001.JPG"),
                                  std::string("img_0002.jpg")})
    EXPECT_TRUE(names.count(name)) << name;
  EXPECT_FALSE(names.count("_oliday photo 2024.jpg"));
  EXPECT_EQ(test::Sha256File(card.image), formatted);
}

}  // namespace
}  // namespace salvora
