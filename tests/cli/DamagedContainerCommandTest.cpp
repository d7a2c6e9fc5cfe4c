// salvora-cli on image containers that are damaged or incomplete: an Expert Witness chunk that
// fails its checksum makes the files in it damaged where it starts (never "Success"); an Expert
// Witness set or split raw set with a segment or piece missing or cut is refused, naming it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "support/TestSupport.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

constexpr uint64_t kChunkBytes = 64 * 512;  // ewfacquire's default: 64 sectors a chunk

std::string Quote(const std::string& path) { return "'" + path + "'"; }

std::string Cli(const std::string& dataDir, const std::string& args) {
  return "SALVORA_DATA_DIR=" + Quote(dataDir) + " " + Quote(test::CliPath()) + " " + args;
}

// Relative path -> sha256 of every file below dir.
std::map<std::string, std::string> TreeHashes(const std::string& dir) {
  std::map<std::string, std::string> hashes;
  if (!fs::exists(dir)) return hashes;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    if (entry.is_regular_file()) hashes[fs::relative(entry.path(), dir).string()] = test::Sha256File(entry.path().string());
  return hashes;
}

std::map<std::string, std::string> FolderHashes(const std::string& dir) {
  std::map<std::string, std::string> hashes;
  for (const auto& entry : fs::directory_iterator(dir)) hashes[entry.path().string()] = test::Sha256File(entry.path().string());
  return hashes;
}

// The card fat16-del.img as Expert Witness segments of 8 MiB (uncompressed, so a chunk's bytes
// lie in a segment as they are) and as split pieces of 7 MiB, with a copy of what recovery of the
// raw image gives.
struct CardSets {
  test::TempDir data, dir;
  std::string raw = test::FixturePath("fat16-del.img");
  std::string want;
  bool ok = false;

  CardSets() {
    if (!test::HaveTool("ewfacquire") || !test::HaveTool("split")) return;
    ok = test::RunCommand("ewfacquire -u -q -t " + Quote(dir.File("card")) + " -c none -S 8MiB " + Quote(raw) +
                          " >/dev/null 2>&1") == 0 &&
         test::RunCommand("split -b 7M -d -a 3 --numeric-suffixes=1 " + Quote(raw) + " " + Quote(dir.File("card."))) == 0;
    want = dir.File("want");
    ok = ok && test::RunCommand(Cli(data.path(), "recover --fast " + Quote(raw) + " --to " + Quote(want) + " >/dev/null 2>&1")) == 0;
  }
  // Runs salvora-cli; out gets stdout and stderr.
  int Run(const std::string& args, std::string& out) const {
    return test::RunCommand(Cli(data.path(), args + " 2>&1"), &out);
  }
};

// The first sector and size of path in the raw card's fast listing.
std::pair<uint64_t, uint64_t> Placement(const CardSets& card, const std::string& path) {
  std::string json;
  card.Run("scan --fast --json " + Quote(card.raw), json);
  const size_t at = json.find("\"path\": \"" + path + "\"");
  if (at == std::string::npos) return {0, 0};
  const size_t size = json.find("\"size\": ", at), first = json.find("\"firstSector\": ", at);
  return {std::stoull(json.substr(first + 15)), std::stoull(json.substr(size + 8))};
}

TEST(DamagedContainers, FilesInAChunkFailingItsChecksumAreDamagedWhereItStarts) {
  CardSets card;
  if (!card.ok) GTEST_SKIP() << "ewfacquire or split missing";
  const std::string victim = "/DCIM/100CAM/Long Holiday Picture.jpg";
  const auto [first, size] = Placement(card, victim);
  ASSERT_GT(size, 6000u);
  // Flip 50 bytes inside the file where a chunk begins within it: the chunk's bytes are found in
  // the segments by their content.
  const uint64_t fileStart = first * 512, flipAt = fileStart + 5000;
  const uint64_t chunkStart = flipAt / kChunkBytes * kChunkBytes;
  const uint64_t damagedAt = chunkStart > fileStart ? chunkStart - fileStart : 0;
  // The same bytes may lie in the card more than once (two copies of a picture): the chunks lie
  // in the segments in the card's order, so the victim's is the same occurrence there.
  const std::vector<uint8_t> rawBytes = test::ReadFileBytes(card.raw);
  const std::string raw(rawBytes.begin(), rawBytes.end());
  const std::string pattern = raw.substr(flipAt, 64);
  size_t occurrence = 0;
  for (size_t at = raw.find(pattern); at < flipAt; at = raw.find(pattern, at + 1)) ++occurrence;
  int flipped = 0;
  for (const char* name : {"card.E01", "card.E02", "card.E03", "card.E04", "card.E05"}) {
    std::vector<uint8_t> bytes = test::ReadFileBytes(card.dir.File(name));
    const std::string text(bytes.begin(), bytes.end());
    for (size_t at = text.find(pattern); at != std::string::npos && !flipped; at = text.find(pattern, at + 1)) {
      if (occurrence-- != 0) continue;
      for (size_t i = 0; i < 50; ++i) bytes[at + i] ^= 0xFF;
      test::WriteFileBytes(card.dir.File(name), bytes);
      ++flipped;
    }
  }
  ASSERT_EQ(flipped, 1);
  const auto before = FolderHashes(card.dir.path());
  const std::string e01 = card.dir.File("card.E01"), got = card.dir.File("got");

  std::string out;
  EXPECT_EQ(card.Run("recover --fast " + Quote(e01) + " --to " + Quote(got) + " --report " +
                         Quote(card.dir.File("report.xml")),
                     out),
            1);
  EXPECT_NE(out.find(victim + ": Damaged at byte " + std::to_string(damagedAt) + ":"), std::string::npos) << out;
  EXPECT_EQ(out.find(victim + " -> "), std::string::npos) << out;
  // Every file written is the raw card's; the damaged ones are not among them.
  const auto gotHashes = TreeHashes(got), wantHashes = TreeHashes(card.want);
  EXPECT_EQ(gotHashes.count("photo/Long Holiday Picture.jpg"), 0u);
  for (const auto& [path, hash] : gotHashes) EXPECT_EQ(wantHashes.at(path), hash) << path;
  std::istringstream lines(out);
  size_t successes = 0;
  for (std::string line; std::getline(lines, line);) successes += line.find(": Success") != std::string::npos;
  EXPECT_EQ(successes, gotHashes.size()) << out;

  // The listing finds it too once its content check has met the chunk.
  EXPECT_EQ(card.Run("scan --fast --json " + Quote(e01), out), 0);
  const size_t entry = out.find("\"path\": \"" + victim + "\"");
  ASSERT_NE(entry, std::string::npos) << out;
  const std::string line = out.substr(entry, out.find('\n', entry) - entry);
  EXPECT_NE(line.find("\"badSectors\": true"), std::string::npos) << line;
  EXPECT_NE(line.find("\"damagedAt\": " + std::to_string(damagedAt)), std::string::npos) << line;
  fs::remove_all(got);
  fs::remove(card.dir.File("report.xml"));
  EXPECT_EQ(FolderHashes(card.dir.path()), before);
}

TEST(DamagedContainers, SetsWithAPartMissingOrCutAreRefusedNamingIt) {
  CardSets card;
  if (!card.ok) GTEST_SKIP() << "ewfacquire or split missing";
  // One broken copy of the sets at a time, in a folder of its own.
  auto broken = [&](const std::string& first, const std::function<void(const std::string&)>& breakIt) {
    const std::string folder = card.dir.File("broken");
    fs::remove_all(folder);
    fs::create_directory(folder);
    for (const auto& entry : fs::directory_iterator(card.dir.path()))
      if (entry.is_regular_file()) fs::copy_file(entry.path(), folder + "/" + entry.path().filename().string());
    breakIt(folder);
    return folder + "/" + first;
  };
  struct Case {
    std::string first, named;
    std::function<void(const std::string&)> breakIt;
  };
  const std::vector<Case> cases = {
      {"card.E01", "card.E01 is cut short", [](const std::string& f) { fs::resize_file(f + "/card.E01", 4096); }},
      {"card.E01", "card.E01 is cut short", [](const std::string& f) { fs::resize_file(f + "/card.E01", 30000); }},
      {"card.E01", "card.E03 is cut short",
       [](const std::string& f) { fs::resize_file(f + "/card.E03", fs::file_size(f + "/card.E03") / 2); }},
      {"card.E01", "card.E03 is missing", [](const std::string& f) { fs::remove(f + "/card.E03"); }},
      {"card.E01", "card.E05 is missing", [](const std::string& f) { fs::remove(f + "/card.E05"); }},
      {"card.001", "card.003 is missing", [](const std::string& f) { fs::remove(f + "/card.003"); }},
      {"card.001", "card.002 is cut short", [](const std::string& f) { fs::resize_file(f + "/card.002", 3 << 20); }},
  };
  for (const Case& c : cases) {
    const std::string source = broken(c.first, c.breakIt);
    const auto before = FolderHashes(fs::path(source).parent_path().string());
    std::string out;
    EXPECT_EQ(card.Run("scan --fast " + Quote(source), out), 2) << c.named;
    EXPECT_NE(out.find("/broken/" + c.named), std::string::npos) << c.named << "\n" << out;
    EXPECT_EQ(card.Run("recover --fast " + Quote(source) + " --to " + Quote(card.dir.File("out")), out), 2) << c.named;
    EXPECT_FALSE(fs::exists(card.dir.File("out"))) << c.named;
    EXPECT_EQ(FolderHashes(fs::path(source).parent_path().string()), before) << c.named;
  }

  // --force reads a split set cut short in its first piece: the gap is unreadable, so what lies
  // behind it keeps its place and the files touching it are damaged.
  const std::string source = broken("card.001", [](const std::string& f) { fs::resize_file(f + "/card.001", 160 * 1024); });
  std::string out;
  EXPECT_EQ(card.Run("recover --fast --force " + Quote(source) + " --to " + Quote(card.dir.File("forced")), out), 1) << out;
  EXPECT_NE(out.find("card.001 is cut short"), std::string::npos) << out;
  EXPECT_NE(out.find(": Damaged at byte "), std::string::npos) << out;
  const auto gotHashes = TreeHashes(card.dir.File("forced")), wantHashes = TreeHashes(card.want);
  EXPECT_FALSE(gotHashes.empty());
  for (const auto& [path, hash] : gotHashes) EXPECT_EQ(wantHashes.at(path), hash) << path;
}

}  // namespace
}  // namespace salvora
