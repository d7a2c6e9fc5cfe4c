// salvora-cli recover on a FAT volume whose deleted files were written into the holes between
// other files: each comes back byte for byte from its pieces, by the quick scan and by the
// advanced scan alike, and the image is never written.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "support/TestSupport.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

struct Deleted {
  std::string name;
  uint64_t size = 0;
  int pieces = 0;
};

std::vector<Deleted> DeletedFiles() {
  std::vector<Deleted> rows;
  std::ifstream in(test::FixturePath("fatfrag-src/deleted.tsv"));
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    Deleted d;
    if (fields >> d.name >> d.size >> d.pieces) rows.push_back(d);
  }
  return rows;
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return s;
}

// Recovered file name (the deleted entry's first character is lost) -> SHA-256.
std::map<std::string, std::string> Recover(const std::string& image, const std::string& options) {
  test::TempDir data, dest;
  std::string out;
  EXPECT_EQ(test::RunCommand("SALVORA_DATA_DIR='" + data.path() + "' '" + test::CliPath() + "' recover '" +
                             image + "' " + options + " --to '" + dest.path() + "' 2>/dev/null", &out), 0)
      << out;
  std::map<std::string, std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(dest.path()))
    if (entry.is_regular_file())
      found[Lower(entry.path().filename().string().substr(1))] = test::Sha256File(entry.path().string());
  return found;
}

TEST(FragmentedFatCommandTest, DeletedFilesInPiecesBetweenOtherFilesComeBackByteIdentical) {
  const std::string image = test::FixturePath("fat-frag.img");
  const std::string before = test::Sha256File(image);
  const auto deleted = DeletedFiles();
  ASSERT_GE(deleted.size(), 5u);
  ASSERT_GE(std::max_element(deleted.begin(), deleted.end(),
                             [](const Deleted& a, const Deleted& b) { return a.pieces < b.pieces; })->pieces, 3);
  for (const std::string options : {"--fast", "--only-deleted"}) {
    const auto found = Recover(image, options);
    for (const Deleted& d : deleted) {
      const auto it = found.find(Lower(d.name.substr(1)));
      ASSERT_NE(it, found.end()) << options << ": " << d.name << " not recovered";
      EXPECT_EQ(it->second, test::Sha256File(test::FixturePath("fatfrag-src/" + d.name)))
          << options << ": " << d.name << " (" << d.pieces << " pieces) differs";
    }
  }
  EXPECT_EQ(test::Sha256File(image), before);
}

}  // namespace
}  // namespace salvora
