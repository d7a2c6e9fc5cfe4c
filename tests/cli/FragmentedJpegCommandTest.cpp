// salvora-cli recover (advanced scan) on a quick-formatted card whose photos were written in two
// pieces around other files' clusters: carving alone finds them, and each comes back byte for byte,
// as do the intact photos around them; the photo whose middle was written over breaks where the
// damage begins.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "carving/JpegDecodeCheck.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

struct Photo {
  std::string kind, name, sector;
  uint64_t size = 0;
  std::string sha, damage;
};

std::vector<Photo> Manifest() {
  std::vector<Photo> rows;
  std::ifstream in(test::FixturePath("fragjpeg/manifest.tsv"));
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    Photo p;
    if (fields >> p.kind >> p.name >> p.sector >> p.size >> p.sha >> p.damage) rows.push_back(p);
  }
  return rows;
}

TEST(FragmentedJpeg, PhotosInTwoPiecesComeBackWholeAndTheOverwrittenOneBreaksAtItsDamage) {
  test::TempDir data, dest;
  const std::string image = test::FixturePath("fragjpeg.img");
  const std::string before = test::Sha256File(image);
  const auto photos = Manifest();
  ASSERT_GE(photos.size(), 8u);
  std::string out;
  ASSERT_EQ(test::RunCommand("SALVORA_DATA_DIR='" + data.path() + "' '" + test::CliPath() + "' recover '" +
                             image + "' --to '" + dest.path() + "' 2>/dev/null", &out), 0) << out;

  std::map<std::string, std::string> byName;  // carved name (its first sector) -> path
  std::set<std::string> hashes;
  for (const auto& entry : fs::recursive_directory_iterator(dest.path())) {
    if (!entry.is_regular_file()) continue;
    byName[entry.path().filename().string()] = entry.path().string();
    hashes.insert(test::Sha256File(entry.path().string()));
  }
  for (const Photo& p : photos) {
    if (p.kind == "damaged") {
      const auto found = byName.find(p.sector + ".jpg");
      ASSERT_NE(found, byName.end()) << p.name;
      const auto bytes = test::ReadFileBytes(found->second);
      MemoryByteSource source(bytes.data(), bytes.size());
      const WalkResult r = DecodeJpeg(source);
      ASSERT_EQ(r.outcome, WalkResult::Outcome::Broken) << p.name;
      // The row that holds the first overwritten byte: it starts before it, and less than a
      // sixteenth of the picture's data (a few rows) further back.
      const uint64_t damage = std::stoull(p.damage);
      EXPECT_LE(r.length, damage);
      EXPECT_GT(r.length + p.size / 16, damage);
      continue;
    }
    EXPECT_TRUE(hashes.count(p.sha)) << p.kind << " " << p.name << " (" << p.size << " bytes) not recovered whole";
  }
  EXPECT_EQ(test::Sha256File(image), before);
}

}  // namespace
}  // namespace salvora
