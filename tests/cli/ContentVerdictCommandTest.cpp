// salvora-cli on a card with a whole photo and two photos overwritten in their middle (one deleted
// from the file system, one found by carving only): the listing, the JSON and the report carry
// each file's content verdict, and --only-intact writes only the whole photo.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "support/TestSupport.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

std::string Cli(const std::string& dataDir, const std::string& args) {
  return "SALVORA_DATA_DIR='" + dataDir + "' '" + test::CliPath() + "' " + args + " 2>/dev/null";
}

// Where each damaged photo's overwritten stretch starts (make-verdict.sh).
std::map<std::string, uint64_t> Overwritten() {
  std::map<std::string, uint64_t> at;
  std::ifstream in(test::FixturePath("verdict-src/manifest.txt"));
  std::string name;
  uint64_t offset = 0;
  while (in >> name >> offset) at[name] = offset;
  return at;
}

// The line of output holding text ("" when none does).
std::string LineWith(const std::string& output, const std::string& text) {
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);)
    if (line.find(text) != std::string::npos) return line;
  return "";
}

// The number after pattern's first group in line, or -1.
long long NumberIn(const std::string& line, const std::string& pattern) {
  std::smatch m;
  return std::regex_search(line, m, std::regex(pattern)) ? std::stoll(m[1]) : -1;
}

// Damage is reported from where the data breaks: inside the overwritten stretch, or at the start
// of the row of blocks it falls in, never far before it.
void ExpectDamagedNear(long long reported, uint64_t overwritten, const std::string& what) {
  EXPECT_GE(reported, (long long)overwritten - 16384) << what;
  EXPECT_LT(reported, (long long)overwritten + 4096) << what;
}

TEST(ContentVerdictCommand, DamagedPhotosAreListedDamagedWhereTheyBreakAndOnlyIntactLeavesThemOut) {
  const std::string image = test::FixturePath("verdict.img");
  const std::string before = test::Sha256File(image);
  const auto overwritten = Overwritten();
  ASSERT_EQ(overwritten.size(), 2u);
  test::TempDir data, dest, all;

  std::string listing;
  ASSERT_EQ(test::RunCommand(Cli(data.File("list"), "scan '" + image + "'"), &listing), 0) << listing;
  EXPECT_NE(LineWith(listing, "HOLE.JPG").find(" intact "), std::string::npos) << listing;
  const long long broken = NumberIn(LineWith(listing, "ROKEN.JPG"), " damaged@(\\d+) ");
  ExpectDamagedNear(broken, overwritten.at("broken.jpg"), listing);
  const long long carved = NumberIn(LineWith(listing, "f carved "), " damaged@(\\d+) ");
  ExpectDamagedNear(carved, overwritten.at("carved.jpg"), listing);

  std::string json;
  ASSERT_EQ(test::RunCommand(Cli(data.File("json"), "scan '" + image + "' --json"), &json), 0);
  EXPECT_NE(LineWith(json, "HOLE.JPG").find("\"verdict\": \"intact\", \"damagedAt\": null"), std::string::npos) << json;
  EXPECT_EQ(NumberIn(LineWith(json, "ROKEN.JPG"), "\"verdict\": \"damaged\", \"damagedAt\": (\\d+)"), broken) << json;

  // Only the whole photo is written; the report gives its verdict.
  std::string out;
  ASSERT_EQ(test::RunCommand(Cli(data.File("only"), "recover '" + image + "' --to '" + dest.path() +
                                                        "' --only-intact --report '" + dest.File("r.xml") + "'"),
                             &out), 0) << out;
  std::vector<std::string> written;
  for (const auto& entry : fs::recursive_directory_iterator(dest.path()))
    if (entry.is_regular_file() && entry.path().filename() != "r.xml") written.push_back(entry.path().string());
  ASSERT_EQ(written.size(), 1u) << out;
  EXPECT_EQ(test::Sha256File(written[0]), test::Sha256File(test::FixturePath("verdict-src/whole.jpg")));
  EXPECT_EQ(NumberIn(LineWith(out, "ROKEN.JPG"), ": Skipped \\(damaged at byte (\\d+)\\)"), broken) << out;
  EXPECT_NE(out.find("2 skipped as not intact (2 damaged, 0 not checked)"), std::string::npos) << out;
  const auto report = test::ReadFileBytes(dest.File("r.xml"));
  EXPECT_NE(std::string(report.begin(), report.end()).find("content=\"intact\""), std::string::npos);

  // Without the option every photo is written; a damaged one is never a plain success.
  std::string every;
  ASSERT_EQ(test::RunCommand(Cli(data.File("all"), "recover '" + image + "' --to '" + all.path() + "' --report '" +
                                                       all.File("r.xml") + "'"),
                             &every), 0) << every;
  EXPECT_EQ(NumberIn(LineWith(every, "ROKEN.JPG"), ": Success \\(damaged at byte (\\d+)\\)$"), broken) << every;
  const auto full = test::ReadFileBytes(all.File("r.xml"));
  EXPECT_NE(std::string(full.begin(), full.end()).find("content=\"damaged\" damaged_at=\"" + std::to_string(broken) + "\""),
            std::string::npos);
  EXPECT_EQ(test::Sha256File(image), before);
}

}  // namespace
}  // namespace salvora
