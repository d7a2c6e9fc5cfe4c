// Cross-check against The Sleuth Kit: every deleted entry that `fls -r -d` lists with a name is
// found by the fast scan, with the same size and times. The differences that remain are the
// engine's documented rules, listed per image below.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "fat/FastFatTestSupport.h"
#include "platform/Clock.h"

namespace salvora {
namespace {

struct FlsEntry {
  std::string path;  // normalised
  bool folder = false;
  uint64_t size = 0;
  int64_t accessed = 0, written = 0, created = 0;
};

// Lower case, and a deleted short name's "!" written the way fls writes it ("_").
std::string Normalise(std::string path) {
  for (size_t i = 0; i < path.size(); ++i) {
    if (path[i] == '!' && (i == 0 || path[i - 1] == '/')) path[i] = '_';
    if (path[i] >= 'A' && path[i] <= 'Z') path[i] = char(path[i] - 'A' + 'a');
  }
  return path;
}

std::vector<FlsEntry> FlsDeleted(const std::string& image) {
  std::string out;
  EXPECT_EQ(test::RunCommand("fls -r -d -p -z UTC -m / '" + image + "' 2>/dev/null", &out), 0);
  std::vector<FlsEntry> entries;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string v; std::getline(fields, v, '|');) f.push_back(v);
    if (f.size() < 11 || f[1].find("$OrphanFiles") != std::string::npos) continue;
    FlsEntry e;
    std::string path = f[1];
    const std::string tag = " (deleted)";
    if (path.size() > tag.size() && path.compare(path.size() - tag.size(), tag.size(), tag) == 0)
      path.resize(path.size() - tag.size());
    e.path = Normalise(path.substr(1));  // fls writes "//name" for the mount point "/"
    e.folder = f[3].rfind("d/", 0) == 0;
    e.size = std::stoull(f[6]);
    e.accessed = std::stoll(f[7]);
    e.written = std::stoll(f[8]);
    e.created = std::stoll(f[10]);
    entries.push_back(e);
  }
  return entries;
}

void CrossCheck(const std::string& image, const std::set<std::string>& notFoundByDesign) {
  if (!test::HaveTool("fls")) GTEST_SKIP() << "fls (sleuthkit) is not installed";
  test::ScannedImage scan(image);
  ASSERT_EQ(scan.scanResult, 0);
  std::multimap<std::string, const test::FastFatItem*> ours;
  for (const auto& item : scan.items) {
    std::string path = item.path.substr(1);
    if (path.back() == '/') path.pop_back();
    ours.emplace(Normalise(path), &item);
  }
  auto listed = FlsDeleted(image);
  EXPECT_FALSE(listed.empty());
  for (const auto& e : listed) {
    SCOPED_TRACE(e.path);
    if (notFoundByDesign.count(e.path)) {
      EXPECT_EQ(ours.count(e.path), 0u);
      continue;
    }
    auto [first, last] = ours.equal_range(e.path);
    ASSERT_NE(first, last) << "fls lists a deleted entry the fast scan did not find";
    bool matched = false;
    for (auto it = first; it != last && !matched; ++it) {
      const FoundFileRecord& r = it->second->record;
      matched = r.IsFolder() == e.folder && (e.folder || r.FileSize() == e.size) &&
                platform::FileTimeToUnix(r.WriteTime()) == e.written &&
                platform::FileTimeToUnix(r.AccessTime()) == e.accessed &&
                platform::FileTimeToUnix(r.CreationTime()) == e.created;
    }
    EXPECT_TRUE(matched) << "size or times differ from fls";
  }
}

TEST(FlsCrossCheck, MainVolumes) {
  // NOARCH.TXT lacks the archive attribute: the fast scan does not record such files.
  for (const char* image : {"fat12-del.img", "fat16-del.img", "fat32-del.img"}) {
    SCOPED_TRACE(image);
    CrossCheck(test::FixturePath(image), {"_oarch.txt"});
  }
}

TEST(FlsCrossCheck, SinglePurposeVolumes) {
  for (const char* image : {"fat16-r4096.img", "fat32-high.img", "fat16-frag.img", "fat16-bigdir.img"}) {
    SCOPED_TRACE(image);
    CrossCheck(test::FixturePath(image), {});
  }
  // fls cuts the live folder's 250-character name to 247 characters, so the deleted file inside
  // it is listed under a path the fast scan rightly does not give.
  std::string cut;
  while (cut.size() < 247) cut += "a folder with a very long name ";
  CrossCheck(test::FixturePath("lfn20-fat16.img"), {cut.substr(0, 247) + "/_nner.txt"});
}

TEST(FlsCrossCheck, RealImagesMadeByOthers) {
  test::TempDir dir;
  // fls shows the children of a deleted folder as "_" where Windows kept only 1-character names;
  // both list the same entries.
  CrossCheck(test::GunzipSharedImage("dfir_ntfs/fat_deleted_dir.raw.gz", dir.path()), {});
  CrossCheck(test::GunzipSharedImage("fatcat/deleted.img.gz", dir.path()), {});
  // fat16_moved holds only an empty deleted folder: folders are recorded only on the way to a
  // found file, so the fast scan lists nothing there.
  CrossCheck(test::GunzipSharedImage("dfir_ntfs/fat16_moved.raw.gz", dir.path()), {"test/1/_1"});
}

}  // namespace
}  // namespace salvora
