// salvora-cli image of a card whose reads fail in places (GNU ddrescue's way, with its mapfile),
// scan and recovery of the image made, and images kept as Expert Witness segments or split pieces.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>

#include "support/TestSupport.h"

namespace salvora {
namespace {

constexpr uint64_t kCardSectors = 65536;  // fat16-del.img

std::string Cli(const std::string& dataDir, const std::string& args) {
  return "SALVORA_DATA_DIR='" + dataDir + "' '" + test::CliPath() + "' " + args;
}

std::string Quote(const std::string& path) { return "'" + path + "'"; }

// The card fat16-del.img as disk 0, failing on three stretches: a sector pair of the first
// table, three sectors inside a picture, and 400 sectors near the end.
struct FailingCard {
  std::string image = test::FixturePath("fat16-del.img");
  std::string victim = "/DCIM/100CAM/Long Holiday Picture.jpg";
  std::vector<std::pair<uint64_t, uint64_t>> bad;  // [first, end) sectors

  explicit FailingCard(const std::string& dataDir) {
    std::string json;
    EXPECT_EQ(test::RunCommand(Cli(dataDir, "scan --fast --json " + Quote(image) + " 2>/dev/null"), &json), 0);
    size_t at = json.find("\"path\": \"" + victim + "\"");
    at = at == std::string::npos ? at : json.find("\"firstSector\": ", at);
    const uint64_t first = at == std::string::npos ? 0 : std::stoull(json.substr(at + 15));
    EXPECT_GT(first, 100u) << json;
    bad = {{4, 6}, {first + 5, first + 8}, {kCardSectors - 1500, kCardSectors - 1100}};
  }
  // The environment of a run on the card; slowUs makes every read that much slower.
  std::string Env(int slowUs = 0) const {
    std::string faults;
    for (auto [a, b] : bad) faults += (faults.empty() ? "" : ",") + std::to_string(a * 512) + "-" + std::to_string(b * 512);
    if (slowUs) faults += ",slow:" + std::to_string(slowUs);
    return "SALVORA_DISK_MAP='0=" + image + "' SALVORA_FAULTS='" + image + "=" + faults + "' ";
  }
  std::string ImageCommand(const std::string& dataDir, const std::string& out, const std::string& map) const {
    return Cli(dataDir, "image disk:0 " + Quote(out) + " --map " + Quote(map));
  }
};

using Block = std::tuple<uint64_t, uint64_t, char>;

// The block lines of a mapfile (the status line is the first line that is not a comment).
std::vector<Block> MapBlocks(const std::string& path) {
  std::ifstream in(path);
  std::vector<Block> blocks;
  std::string line;
  bool statusSeen = false;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (!statusSeen) {
      statusSeen = true;
      continue;
    }
    std::istringstream words(line);
    std::string pos, size;
    char status = 0;
    words >> pos >> size >> status;
    blocks.emplace_back(std::stoull(pos, nullptr, 0), std::stoull(size, nullptr, 0), status);
  }
  return blocks;
}

// Relative path -> sha256 of every file below dir.
std::map<std::string, std::string> TreeHashes(const std::string& dir) {
  std::map<std::string, std::string> hashes;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
    if (entry.is_regular_file())
      hashes[std::filesystem::relative(entry.path(), dir).string()] = test::Sha256File(entry.path().string());
  return hashes;
}

TEST(ImagingCommand, FailingCardIsImagedAroundItsBadStretchesAndResumesAfterAKill) {
  test::TempDir data, dir;
  FailingCard card(data.path());
  const std::string before = test::Sha256File(card.image);
  const std::string full = dir.File("full.img"), fullMap = dir.File("full.map");
  std::string out;
  EXPECT_EQ(test::RunCommand(card.Env() + card.ImageCommand(data.path(), full, fullMap) + " --retries 1 2>/dev/null", &out), 1);
  EXPECT_NE(out.find("3 bad areas, 207360 bytes unreadable"), std::string::npos) << out;

  // Every readable sector is in the image as on the card; the bad ones are zeros.
  std::vector<uint8_t> expected = test::ReadFileBytes(card.image);
  for (auto [a, b] : card.bad) std::fill(expected.begin() + long(a * 512), expected.begin() + long(b * 512), 0);
  EXPECT_TRUE(test::ReadFileBytes(full) == expected);

  // The map lists exactly the bad stretches, the rest as finished, and ddrescuelog reads it.
  std::vector<Block> blocks = MapBlocks(fullMap);
  std::vector<Block> wanted;
  uint64_t pos = 0;
  for (auto [a, b] : card.bad) {
    wanted.emplace_back(pos, a * 512 - pos, '+');
    wanted.emplace_back(a * 512, (b - a) * 512, '-');
    pos = b * 512;
  }
  wanted.emplace_back(pos, kCardSectors * 512 - pos, '+');
  EXPECT_EQ(blocks, wanted);
  if (test::HaveTool("ddrescuelog")) {
    std::string sectors, expectedSectors;
    EXPECT_EQ(test::RunCommand("ddrescuelog -b512 -l- " + Quote(fullMap), &sectors), 0);
    for (auto [a, b] : card.bad)
      for (uint64_t s = a; s < b; ++s) expectedSectors += std::to_string(s) + "\n";
    EXPECT_EQ(sectors, expectedSectors);
    EXPECT_EQ(test::RunCommand("ddrescuelog -t " + Quote(fullMap) + " >/dev/null"), 0);
  }

  // Killed once the map shows progress, run again: it goes on from the map to the same result.
  const std::string img = dir.File("card.img"), map = dir.File("card.map");
  std::ofstream(dir.File("kill.sh"))
      << card.Env(4000) << card.ImageCommand(data.path(), img, map) << " --map-interval 0 >/dev/null 2>&1 &\n"
      << "pid=$!\n"
      << "for i in $(seq 600); do grep -q '^0x00000000  0x[0-9A-F]*  +' " << Quote(map)
      << " 2>/dev/null && break; sleep 0.02; done\n"
      << "sleep 0.5\nkill -KILL $pid\nwait $pid\ncp " << Quote(map) << " " << Quote(dir.File("at-kill.map")) << "\n";
  test::RunCommand("bash " + Quote(dir.File("kill.sh")));
  blocks = MapBlocks(dir.File("at-kill.map"));
  ASSERT_FALSE(blocks.empty());
  EXPECT_EQ(std::get<2>(blocks.back()), '?') << "the run was not killed halfway";
  std::string err;
  EXPECT_EQ(test::RunCommand(card.Env() + card.ImageCommand(data.path(), img, map) + " 2>&1", &err), 1);
  EXPECT_NE(err.find("resuming from"), std::string::npos) << err;
  EXPECT_EQ(test::Sha256File(img), test::Sha256File(full));
  EXPECT_EQ(MapBlocks(map), wanted);

  // A map that is not one is refused with the reason, and the image it would resume is kept.
  std::ofstream(map) << "0x0 + 1\n0x0 0x200 +\n0x400 0x200 -\n";
  EXPECT_EQ(test::RunCommand(card.Env() + card.ImageCommand(data.path(), img, map) + " 2>&1", &err), 2);
  EXPECT_NE(err.find("line 3: the blocks do not follow each other"), std::string::npos) << err;
  EXPECT_EQ(test::Sha256File(img), test::Sha256File(full));
  EXPECT_EQ(test::Sha256File(card.image), before);
}

TEST(ImagingCommand, ScanAndRecoveryOfTheImageMarkTheFilesCrossingBadStretches) {
  test::TempDir data, dir;
  FailingCard card(data.path());
  const std::string img = dir.File("card.img");
  ASSERT_EQ(test::RunCommand(card.Env() + card.ImageCommand(data.path(), img, dir.File("card.map")) + " >/dev/null 2>&1"), 1);

  // card.map beside card.img is found without being named.
  std::string listing;
  ASSERT_EQ(test::RunCommand(Cli(data.path(), "scan --fast " + Quote(img) + " 2>/dev/null"), &listing), 0);
  std::istringstream lines(listing);
  int marked = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.find("bad-sectors") == std::string::npos) continue;
    ++marked;
    EXPECT_NE(line.find(card.victim), std::string::npos) << line;
  }
  EXPECT_EQ(marked, 1) << listing;

  std::string out;
  EXPECT_EQ(test::RunCommand(Cli(data.path(), "recover --fast " + Quote(img) + " --to " + Quote(dir.File("got")) + " 2>/dev/null"), &out), 1);
  EXPECT_NE(out.find(card.victim + ": Damaged"), std::string::npos) << out;
  EXPECT_NE(out.find(", 1 failed"), std::string::npos) << out;
  ASSERT_EQ(test::RunCommand(Cli(data.path(), "recover --fast " + Quote(card.image) + " --to " + Quote(dir.File("want")) + " >/dev/null 2>&1")), 0);
  // The damaged picture is not left under its name (an unfinished file never is); every other
  // file is intact.
  auto got = TreeHashes(dir.File("got")), want = TreeHashes(dir.File("want"));
  EXPECT_EQ(got.size() + 1, want.size());
  for (const auto& [path, hash] : want)
    if (path == "photo/Long Holiday Picture.jpg")
      EXPECT_EQ(got.count(path), 0u);
    else
      EXPECT_EQ(got[path], hash) << path;
}

TEST(ContainerImages, ExpertWitnessSegmentsAndSplitPiecesReadAsTheRawImage) {
  if (!test::HaveTool("ewfacquire") || !test::HaveTool("split")) GTEST_SKIP() << "ewfacquire or split missing";
  test::TempDir data, dir;
  const std::string raw = test::FixturePath("fat16-del.img");
  const std::string before = test::Sha256File(raw);
  ASSERT_EQ(test::RunCommand("ewfacquire -u -q -t " + Quote(dir.File("card")) + " -c none -S 8MiB " + Quote(raw) +
                             " >/dev/null 2>&1"), 0);
  ASSERT_TRUE(std::filesystem::exists(dir.File("card.E04")));
  ASSERT_EQ(test::RunCommand("split -b 7M -d -a 3 --numeric-suffixes=1 " + Quote(raw) + " " + Quote(dir.File("card."))), 0);
  ASSERT_TRUE(std::filesystem::exists(dir.File("card.005")));

  auto scan = [&](const std::string& source, const std::string& options) {
    std::string listing;
    EXPECT_EQ(test::RunCommand(Cli(data.path(), "scan " + options + " " + Quote(source) + " 2>/dev/null"), &listing), 0);
    return listing;
  };
  const std::string fast = scan(raw, "--fast"), deep = scan(raw, "--fresh");
  ASSERT_NE(fast.find("Long Holiday Picture.jpg"), std::string::npos) << fast;
  ASSERT_EQ(test::RunCommand(Cli(data.path(), "recover --fast " + Quote(raw) + " --to " + Quote(dir.File("want")) + " >/dev/null 2>&1")), 0);
  const auto want = TreeHashes(dir.File("want"));
  for (const char* name : {"card.E01", "card.001"}) {
    const std::string source = dir.File(name);
    EXPECT_EQ(scan(source, "--fast"), fast) << name;
    EXPECT_EQ(scan(source, "--fresh"), deep) << name;
    const std::string to = dir.File(std::string("got-") + name);
    EXPECT_EQ(test::RunCommand(Cli(data.path(), "recover --fast " + Quote(source) + " --to " + Quote(to) + " >/dev/null 2>&1")), 0);
    EXPECT_EQ(TreeHashes(to), want) << name;
  }
  EXPECT_EQ(test::Sha256File(raw), before);
}

}  // namespace
}  // namespace salvora
