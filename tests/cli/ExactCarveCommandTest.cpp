// salvora-cli recover (advanced scan) on a raw image of deleted files with stale bytes behind each:
// every file comes back byte for byte, measured by its own structure, a declared size or (the
// transport stream) its verified packets. The count per format is printed.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "support/TestSupport.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

struct Planted {
  std::string ext;
  std::string sector;
  uint64_t size = 0;
  std::string sha;
  std::string name;
};

std::vector<Planted> Manifest(const std::string& path) {
  std::vector<Planted> rows;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    Planted p;
    if (fields >> p.ext >> p.sector >> p.size >> p.sha >> p.name) rows.push_back(p);
  }
  return rows;
}

TEST(ExactCarve, EveryFileWithAStructureComesBackByteIdentical) {
  test::TempDir data, dest;
  const std::string image = test::FixturePath("exactcarve.img");
  const std::string before = test::Sha256File(image);
  const auto planted = Manifest(test::FixturePath("exactcarve/manifest.tsv"));
  ASSERT_GE(planted.size(), 30u);
  std::string out;
  ASSERT_EQ(test::RunCommand("SALVORA_DATA_DIR='" + data.path() + "' '" + test::CliPath() + "' recover '" +
                             image + "' --to '" + dest.path() + "' 2>/dev/null", &out), 0) << out;

  // Carved files are named after their first sector or their own metadata: they are matched by
  // content.
  std::map<std::string, uint64_t> recovered;  // SHA-256 -> size
  for (const auto& entry : fs::recursive_directory_iterator(dest.path()))
    if (entry.is_regular_file()) recovered[test::Sha256File(entry.path().string())] = entry.file_size();

  std::map<std::string, std::pair<int, int>> perFormat;  // ext -> exact, planted
  std::string table = "format  exact/planted\n";
  for (const Planted& p : planted) {
    auto& [exact, count] = perFormat[p.ext];
    ++count;
    const bool same = recovered.count(p.sha) > 0;
    exact += same;
    EXPECT_TRUE(same) << p.name << " (" << p.size << " bytes at sector " << p.sector << ") not recovered whole";
  }
  for (const auto& [ext, counts] : perFormat)
    table += ext + std::string(8 - std::min<size_t>(ext.size(), 7), ' ') + std::to_string(counts.first) +
             "/" + std::to_string(counts.second) + "\n";
  std::printf("%s", table.c_str());
  EXPECT_EQ(test::Sha256File(image), before);
}

}  // namespace
}  // namespace salvora
