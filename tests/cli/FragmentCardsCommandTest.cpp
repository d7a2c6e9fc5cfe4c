// salvora-cli on camera cards (FAT32 and exFAT) whose deleted photos lie in 2 to 5 pieces between
// live files and other deleted files, in holes that older, still listed entries point into: the
// whole photos come back byte for byte and intact, the ones with a zeroed stretch are damaged
// where the zeros start, by the quick and the advanced scan alike; a deleted folder whose cluster a
// later deleted folder took over leads to that one's content; the card is never written.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "support/TestSupport.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

struct Photo {
  std::string name, sha;
  uint64_t size = 0;
  int pieces = 0;
  std::string zeroedAt;  // "-" when whole
};

std::vector<Photo> Manifest(const std::string& card) {
  std::vector<Photo> rows;
  std::ifstream in(test::FixturePath("fragcards/" + card + "/manifest.tsv"));
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    Photo p;
    if (fields >> p.name >> p.size >> p.pieces >> p.sha >> p.zeroedAt) rows.push_back(p);
  }
  return rows;
}

std::string Cli(const std::string& args) {
  test::TempDir data;
  std::string out;
  EXPECT_EQ(test::RunCommand("SALVORA_DATA_DIR='" + data.path() + "' '" + test::CliPath() + "' " + args +
                             " 2>/dev/null", &out), 0) << out;
  return out;
}

// The listing line of the deleted photo (its first letter may be lost on FAT).
std::string LineOf(const std::string& listing, const Photo& p) {
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);)
    if (line.find("\"/DCIM/") != std::string::npos && line.find(p.name.substr(1) + "\"") != std::string::npos &&
        line.find("\"size\": " + std::to_string(p.size) + ",") != std::string::npos)
      return line;
  return {};
}

class FragmentCards : public testing::TestWithParam<std::string> {};

TEST_P(FragmentCards, PhotosInPiecesComeBackWholeAndZeroedOnesDamagedWhereTheZerosStart) {
  const std::string card = GetParam();
  const std::string image = test::FixturePath("fragcard-" + card + ".img");
  const std::string before = test::Sha256File(image);
  const auto photos = Manifest(card);
  ASSERT_EQ(photos.size(), 10u);
  const uint64_t cluster = card == "exfat" ? 4096 : 1024;
  for (const std::string options : {"--fast", ""}) {
    test::TempDir dest;
    Cli("recover '" + image + "' " + options + " --to '" + dest.path() + "'");
    std::set<std::string> sums;
    for (const auto& entry : fs::recursive_directory_iterator(dest.path()))
      if (entry.is_regular_file()) sums.insert(test::Sha256File(entry.path().string()));
    const std::string listing = Cli("scan '" + image + "' " + options + " --json");
    for (const Photo& p : photos) {
      EXPECT_TRUE(sums.count(p.sha)) << card << " " << options << ": " << p.name << " (" << p.pieces << " pieces)";
      const std::string line = LineOf(listing, p);
      ASSERT_FALSE(line.empty()) << card << " " << options << ": " << p.name << " not listed";
      if (p.zeroedAt == "-") {
        EXPECT_NE(line.find("\"verdict\": \"intact\""), std::string::npos) << line;
        continue;
      }
      const auto at = line.find("\"damagedAt\": ");
      ASSERT_NE(at, std::string::npos) << line;
      const uint64_t damaged = std::stoull(line.substr(at + 13)), zeroed = std::stoull(p.zeroedAt);
      EXPECT_LE(damaged, zeroed) << line;
      EXPECT_LT(zeroed - std::min(damaged, zeroed), cluster) << line;
    }
    // Day's folder cluster now holds Later's entries: the photo in it is listed under both
    // folders, as fls lists it, and recovered.
    for (const char* folder : {"/Trip/Day/", "/Keep/Later/"}) {
      const std::string photo = std::string(folder) + (card == "exfat" ? "N" : "_") + "ESTB.JPG\"";
      EXPECT_NE(listing.find("\"path\": \"" + photo), std::string::npos) << card << " " << options << ": " << photo;
    }
    EXPECT_TRUE(sums.count(test::Sha256File(test::FixturePath("fragcards/" + card + "/files/nested-b.jpg"))))
        << card << " " << options;
  }
  EXPECT_EQ(test::Sha256File(image), before);
}

// Quick-formatted, the table is gone and every cluster reads free: the folders' sectors found in
// the sweep still place each whole photo's pieces, past the other files' entries that hold theirs
// (on exFAT one of them cut by its folder's cluster start) and past the folders' own clusters.
TEST_P(FragmentCards, QuickFormattedWholePhotosComeBackFromTheirPiecesThroughTheFoldersLeft) {
  const std::string card = GetParam();
  const std::string image = test::FixturePath("fragcard-" + card + "-qf.img");
  const std::string before = test::Sha256File(image);
  test::TempDir dest;
  Cli("recover '" + image + "' --to '" + dest.path() + "'");
  std::set<std::string> sums;
  for (const auto& entry : fs::recursive_directory_iterator(dest.path()))
    if (entry.is_regular_file()) sums.insert(test::Sha256File(entry.path().string()));
  for (const Photo& p : Manifest(card)) {
    if (p.zeroedAt != "-") continue;
    EXPECT_TRUE(sums.count(p.sha)) << card << ": " << p.name << " (" << p.pieces << " pieces)";
  }
  EXPECT_EQ(test::Sha256File(image), before);
}

INSTANTIATE_TEST_SUITE_P(Cards, FragmentCards, testing::Values("fat32", "exfat"));

// A card whose table holds: the photo went into two holes, around the cluster of its own folder
// and a live file's clusters; then the photo and its folder were deleted and the folder's root
// entry taken by a new empty file. Only the sweep meets the folder, so the deep engine must put
// the photo back from its pieces, stepping over what the live table holds and over the folder's
// cluster, though both read as free to a placing that ignores them.
TEST(FragmentCardsLostFolder, APhotoOfALostFolderComesBackAroundALiveFileAndItsFolderCluster) {
  if (!test::HaveTool("mcopy") || !test::HaveTool("mkfs.fat")) GTEST_SKIP() << "needs mtools and mkfs.fat";
  test::TempDir work;
  const std::string photo = test::FixturePath("fragcards/fat32/files/P01.JPG");
  const auto bytes = test::ReadFileBytes(photo);
  const size_t cluster = 1024, first = 60, clusters = (bytes.size() + cluster - 1) / cluster;
  auto filler = [&](const std::string& name, size_t count) {
    std::vector<uint8_t> data(count * cluster);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t((i * 2654435761u) >> 13);
    test::WriteFileBytes(work.File(name), data);
    return "'" + work.File(name) + "'";
  };
  const std::string img = "'" + work.File("card.img") + "'", on = " -i " + img + " ";
  const std::string script =
      "export MTOOLS_SKIP_CHECK=1; set -e; truncate -s 8M " + img + "; mkfs.fat -F 16 -s 2 -S 512 " + img +
      " >/dev/null; mmd" + on + "::/LIVE; mcopy" + on + filler("h1", first) + " ::/LIVE/H1.BIN; mmd" + on +
      "::/DCIM; mcopy" + on + filler("l1", 40) + " ::/LIVE/L1.BIN; mcopy" + on + filler("h2", clusters - first) +
      " ::/LIVE/H2.BIN; mdel" + on + "::/LIVE/H1.BIN ::/LIVE/H2.BIN; mcopy" + on + "'" + photo +
      "' ::/DCIM/P01.JPG; mdel" + on + "::/DCIM/P01.JPG; mdeltree" + on + "::/DCIM; : > '" + work.File("empty") +
      "'; mcopy" + on + "'" + work.File("empty") + "' ::/NOTE.TXT";
  std::string out;
  ASSERT_EQ(test::RunCommand("bash -c \"" + script + "\" 2>&1", &out), 0) << out;
  const std::string image = work.File("card.img"), before = test::Sha256File(image);
  const std::string listing = Cli("scan '" + image + "' --json");
  ASSERT_NE(listing.find("/LostFolder"), std::string::npos) << listing;
  EXPECT_EQ(listing.find("\"/DCIM/"), std::string::npos) << "the folder's entry is gone: " << listing;
  test::TempDir dest;
  Cli("recover '" + image + "' --to '" + dest.path() + "'");
  const std::string want = test::Sha256File(photo);
  bool whole = false;
  for (const auto& entry : fs::recursive_directory_iterator(dest.path()))
    whole = whole || (entry.is_regular_file() && test::Sha256File(entry.path().string()) == want);
  EXPECT_TRUE(whole) << listing;
  EXPECT_EQ(test::Sha256File(image), before);
}

}  // namespace
}  // namespace salvora
