// Recovery, preview and the free-space map of the fast FAT engine on mkfs.fat + mtools volumes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "fat/FastFatTestSupport.h"
#include "output/OutputFiles.h"
#include "scan/ScanLogCatalogue.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;
using test::FixturePath;
using test::ScannedImage;

struct Progress {
  std::vector<std::pair<int, int>> reports;  // percent, error
  int finished = 0;
  int cancelAfter = -1;  // files
  static int Recovery(void* user, int percent, int hundred, int error, const char*) {
    auto* p = static_cast<Progress*>(user);
    EXPECT_EQ(hundred, 100);
    p->reports.emplace_back(percent, error);
    if (percent == 100 && ++p->finished == p->cancelAfter) return kScanCancelled;
    return 0;
  }
  static int Preview(void* user, int percent, int error) {
    static_cast<Progress*>(user)->reports.emplace_back(percent, error);
    return 0;
  }
};

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class MainVolumeRecovery : public ::testing::TestWithParam<const char*> {};

TEST_P(MainVolumeRecovery, ContiguousDeletedFilesRecoverByteIdentical) {
  const std::string image = FixturePath(GetParam());
  const std::string before = test::Sha256File(image);
  ScannedImage scan(image);
  ASSERT_EQ(scan.scanResult, 0);
  test::TempDir out;
  Progress progress;
  scan.engine.SetScanCallbacks(nullptr, Progress::Recovery, &progress, 100);
  int n = 0;
  for (const auto& [path, source] : test::MainVolumeSources()) {
    SCOPED_TRACE(path);
    const auto* item = scan.Find(path);
    ASSERT_NE(item, nullptr);
    const std::string target = out.File("deep/er/" + std::to_string(n++));
    ASSERT_EQ(scan.engine.RecoverFile(&item->record, target, 0), 0);
    EXPECT_EQ(test::Sha256File(target), test::Sha256File(test::FatSource(source)));
    ASSERT_FALSE(progress.reports.empty());
    EXPECT_EQ(progress.reports.back(), std::make_pair(100, 0));
  }
  EXPECT_EQ(progress.finished, int(test::MainVolumeSources().size()));
  EXPECT_EQ(test::Sha256File(image), before);
}

TEST_P(MainVolumeRecovery, FolderRecoveryWritesTheSubtreeWithUniqueNames) {
  ScannedImage scan(FixturePath(GetParam()));
  test::TempDir out;
  const std::string photos = out.File("photos");
  const int base = CountSeparators(photos) - 1;  // the folder itself is at depth 1
  ASSERT_EQ(scan.engine.RecoverFile(&scan.Find("/_HOTOS/")->record, photos, base), 0);
  EXPECT_EQ(test::Sha256File(photos + "/A.JPG"), test::Sha256File(test::FatSource("logo.jpg")));
  EXPECT_EQ(test::Sha256File(photos + "/Trip notes.txt"), test::Sha256File(test::FatSource("notes.txt")));
  EXPECT_EQ(test::Sha256File(photos + "/SUB/C.TXT"), test::Sha256File(test::FatSource("readme.txt")));

  // Two deleted versions of one name each get a file of their own, whole.
  const std::string versions = out.File("versions");
  ASSERT_EQ(scan.engine.RecoverFile(&scan.Find("/VERSIONS/")->record, versions,
                                    CountSeparators(versions) - 1), 0);
  std::set<std::string> contents{ReadText(versions + "/_AME.TXT"), ReadText(versions + "/_AME(1).TXT")};
  EXPECT_EQ(contents, (std::set<std::string>{ReadText(test::FatSource("version-a.txt")),
                                             ReadText(test::FatSource("version-b.txt"))}));

  // Recovering the same folder again never mixes with what is there: a renamed subfolder gets
  // its own files.
  ASSERT_EQ(scan.engine.RecoverFile(&scan.Find("/_HOTOS/")->record, photos + "/again", base + 1), 0);
  ASSERT_EQ(scan.engine.RecoverFile(&scan.Find("/_HOTOS/")->record, photos + "/again", base + 1), 0);
  EXPECT_TRUE(fs::exists(photos + "/again/SUB(1)/C.TXT"));
  EXPECT_TRUE(fs::exists(photos + "/again/A(1).JPG"));
}

INSTANTIATE_TEST_SUITE_P(Fat, MainVolumeRecovery,
                         ::testing::Values("fat12-del.img", "fat16-del.img", "fat32-del.img"));

TEST(FastFatRecovery, ClearedHighWordFileRecoversWhole) {
  ScannedImage scan(FixturePath("fat32-high.img"));
  test::TempDir out;
  ASSERT_EQ(scan.engine.RecoverFile(&scan.Find("/_IGH.JPG")->record, out.File("high.jpg"), 0), 0);
  EXPECT_EQ(test::Sha256File(out.File("high.jpg")), test::Sha256File(test::FatSource("rose.jpg")));
}

TEST(FastFatRecovery, FragmentedFileRecoversWholeFromTheFreeClustersPastLiveOnes) {
  ScannedImage scan(FixturePath("fat16-frag.img"));
  ASSERT_EQ(scan.items.size(), 1u);
  test::TempDir out;
  Progress progress;
  scan.engine.SetScanCallbacks(nullptr, Progress::Recovery, &progress, 100);
  ASSERT_EQ(scan.engine.RecoverFile(&scan.items[0].record, out.File("d.txt"), 0), 0);
  // D filled B's freed 4,096 bytes, then went on after C, which is in use: the rest is read
  // from the free clusters after C.
  EXPECT_EQ(ReadText(out.File("d.txt")), ReadText(test::FatSource("big.txt")));
  EXPECT_EQ(progress.reports.back(), std::make_pair(100, 0));
}

TEST(FastFatRecovery, EmptyFileAndBadArguments) {
  ScannedImage scan(FixturePath("fat16-del.img"));
  test::TempDir out;
  Progress progress;
  scan.engine.SetScanCallbacks(nullptr, Progress::Recovery, &progress, 100);
  ASSERT_EQ(scan.engine.RecoverFile(&scan.Find("/_MPTY.DAT")->record, out.File("e.dat"), 0), 0);
  EXPECT_TRUE(fs::exists(out.File("e.dat")));
  EXPECT_EQ(fs::file_size(out.File("e.dat")), 0u);
  EXPECT_EQ(progress.reports, (std::vector<std::pair<int, int>>{{100, 0}}));
  EXPECT_EQ(scan.engine.RecoverFile(nullptr, out.File("x"), 0), kInvalidParameter);
  // An existing file is never overwritten.
  EXPECT_NE(scan.engine.RecoverFile(&scan.Find("/_hoto1.jpg")->record, out.File("e.dat"), 0), 0);
  EXPECT_EQ(fs::file_size(out.File("e.dat")), 0u);
  // A cluster too large to buffer.
  FoundFileRecord huge = scan.Find("/_hoto1.jpg")->record;
  huge.SetClusterSize(200u * 1024 * 1024);
  EXPECT_EQ(scan.engine.RecoverFile(&huge, out.File("huge"), 0), kWriteFault);
}

TEST(FastFatRecovery, CancelDuringAFolderRecoveryStopsAfterTheCurrentFile) {
  ScannedImage scan(FixturePath("fat16-del.img"));
  test::TempDir out;
  Progress progress;
  progress.cancelAfter = 1;
  scan.engine.SetScanCallbacks(nullptr, Progress::Recovery, &progress, 100);
  EXPECT_EQ(scan.engine.RecoverFile(&scan.Find("/_HOTOS/")->record, out.File("p"), CountSeparators(out.File("p")) - 1),
            kScanCancelled);
  EXPECT_EQ(progress.finished, 1);
}

TEST(FastFatRecovery, HostileNamesStayInsideTheDestination) {
  // A long name carrying "../" and a backslash, as no tool writes: patched into a copy.
  test::TempDir dir;
  const std::string image = dir.File("evil.img");
  fs::copy_file(FixturePath("fat16-del.img"), image);
  {
    std::fstream f(image, std::ios::in | std::ios::out | std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(f)), {});
    // "name with spaces.jpg" spans two long-name parts; the first part starts "name w".
    const std::string first = std::string("n\0a\0m\0e\0 \0", 10);
    size_t at = bytes.find(first);
    ASSERT_NE(at, std::string::npos);
    const char evil[] = {'.', 0, '.', 0, '/', 0, '.', 0, '\\', 0};
    f.seekp(std::streamoff(at));
    f.write(evil, sizeof evil);
  }
  ScannedImage scan(image);
  const test::FastFatItem* found = nullptr;
  for (const auto& item : scan.items)
    if (item.path.find("with spaces.jpg") != std::string::npos) found = &item;
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(std::string(found->record.Name()), "../.\\with spaces.jpg");
  test::TempDir out;
  const std::string root = out.File("root");
  // The whole volume through a folder record for the root.
  FoundFileRecord top{};
  top.SetFolder(true);
  top.SetObjectId(scan.engine.RootId());
  ASSERT_EQ(scan.engine.RecoverFile(&top, root, CountSeparators(root)), 0);
  for (const auto& entry : fs::recursive_directory_iterator(out.path()))
    EXPECT_EQ(entry.path().string().rfind(root, 0), 0u) << entry.path();
  EXPECT_TRUE(fs::exists(root + "/.._._with spaces.jpg"));
}

TEST(FastFatPreview, PicturesGoToTheTemporaryFileOthersToTheBuffer) {
  const std::string image = FixturePath("fat16-del.img");
  const std::string before = test::Sha256File(image);
  ScannedImage scan(image);
  std::string temp;
  std::vector<uint8_t> buffer(4096, 0);
  int size = int(buffer.size());
  Progress progress;
  ASSERT_EQ(scan.engine.ReadForPreview(&scan.Find("/_hoto1.jpg")->record, temp, buffer.data(), size,
                                       Progress::Preview, &progress), 0);
  EXPECT_EQ(size, 0);
  EXPECT_EQ(fs::path(temp).filename(), "tmp.jpg");
  EXPECT_EQ(fs::path(temp).parent_path(), fs::path(ScanLogFolder()).parent_path() / fs::path(ScanLogFolder()).filename());
  EXPECT_EQ(test::Sha256File(temp), test::Sha256File(test::FatSource("logo.jpg")));
  // The old temporary file is replaced.
  ASSERT_EQ(scan.engine.ReadForPreview(&scan.Find("/name with spaces.jpg")->record, temp, buffer.data(),
                                       size, nullptr, nullptr), 0);
  EXPECT_EQ(test::Sha256File(temp), test::Sha256File(test::FatSource("rose.jpg")));

  std::string none;
  size = 4096;
  ASSERT_EQ(scan.engine.ReadForPreview(&scan.Find("/_HOTOS/Trip notes.txt")->record, none, buffer.data(),
                                       size, Progress::Preview, &progress), 0);
  EXPECT_EQ(size, 4096);
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(std::string(buffer.begin(), buffer.end()), ReadText(test::FatSource("notes.txt")).substr(0, 4096));
  EXPECT_EQ(progress.reports.back().first, 100);
  EXPECT_EQ(scan.engine.ReadForPreview(nullptr, none, buffer.data(), size, nullptr, nullptr), kInvalidParameter);
  EXPECT_EQ(test::Sha256File(image), before);
}

TEST(FastFatUsageMap, FreeRunsFollowTheAllocationTable) {
  ScannedImage scan(FixturePath("fat16-frag.img"));
  ASSERT_EQ(scan.engine.BuildUsageBitmap(), 0);
  // A.BIN holds clusters 2-9, C.BIN 18-25 (512-byte clusters); B's and D's clusters are free.
  const auto& bitmap = scan.engine.UsageBitmap();
  for (uint32_t c = 2; c < 30; ++c) EXPECT_EQ(bitmap.IsUsed(c), (c <= 9) || (c >= 18 && c <= 25)) << c;
  const FatGeometry& g = scan.engine.Geometry();
  uint64_t start = 0, length = 0;
  EXPECT_EQ(scan.engine.NextUnusedRange(start, length), 1);
  EXPECT_EQ(start, g.dataStart + 8u);
  EXPECT_EQ(length, 8u);
  start += length;
  scan.engine.NextUnusedRange(start, length);
  EXPECT_EQ(start, g.dataStart + 24u);
  EXPECT_EQ(start + length, scan.engine.PartitionSectors());
}

}  // namespace
}  // namespace salvora
