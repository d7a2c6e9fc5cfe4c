// The fast FAT scan on volumes made with mkfs.fat and mtools, and on real images made by others.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "fat/FastFatTestSupport.h"
#include "fat/FatTime.h"
#include "platform/Clock.h"
#include "platform/RawSource.h"
#include "recovery/EngineFactory.h"

namespace salvora {
namespace {

using test::FixturePath;
using test::ScannedImage;

const std::multiset<std::string> kMainVolumeFound = {
    "/_hoto1.jpg", "/_MPTY.DAT", "/name with spaces.jpg",
    "/\xC3\x9Cn\xC3\xAF" "c\xC3\xB6" "d\xC3\xA9 na\xC3\xAFve notes.txt",
    "/_HOTOS/", "/_HOTOS/A.JPG", "/_HOTOS/Trip notes.txt", "/_HOTOS/SUB/", "/_HOTOS/SUB/C.TXT",
    "/_LD/", "/_LD/_ONE.TXT",
    "/DCIM/", "/DCIM/100CAM/", "/DCIM/100CAM/_MG_0002.PNG", "/DCIM/100CAM/Long Holiday Picture.jpg",
    "/VERSIONS/", "/VERSIONS/_AME.TXT", "/VERSIONS/_AME.TXT",
};

class MainVolumes : public ::testing::TestWithParam<const char*> {};

TEST_P(MainVolumes, FindsEveryDeletedFileWithItsNameFolderSizeAndTimes) {
  const std::string image = FixturePath(GetParam());
  const std::string before = test::Sha256File(image);
  ScannedImage scan(image);
  ASSERT_EQ(scan.openResult, 0);
  ASSERT_EQ(scan.scanResult, 0);
  auto paths = scan.Paths();
  // Everything deleted is found; NOARCH.TXT (no archive bit) and the live files are not.
  EXPECT_EQ(std::multiset<std::string>(paths.begin(), paths.end()), kMainVolumeFound);

  const FatGeometry& g = scan.engine.Geometry();
  for (const auto& item : scan.items) {
    const FoundFileRecord& r = item.record;
    SCOPED_TRACE(item.path);
    EXPECT_EQ(r.EngineKind(), 1u);
    EXPECT_EQ(r.ClusterSize(), g.ClusterBytes());
    EXPECT_EQ(r.DataAreaStart(), g.dataStart);
    EXPECT_EQ(r.ContentCheck(), 1u);
    // mtools stamps creation and write alike; the access date is the day at midnight.
    EXPECT_GE(r.WriteTime(), kFatEarliestPlausibleTime);
    EXPECT_LE(r.WriteTime(), kFatLatestPlausibleTime);
    EXPECT_NEAR(double(r.CreationTime()), double(r.WriteTime()), 2e7);
    EXPECT_EQ(r.AccessTime() % (86400ULL * 10000000ULL), platform::UnixToFileTime(0) % (86400ULL * 10000000ULL));
    EXPECT_LE(r.AccessTime(), r.WriteTime());
    if (r.IsFolder()) {
      EXPECT_EQ(r.FileSize(), 0u);
      EXPECT_EQ(r.EntrySector(), 0u);
      const bool deletedFolder = item.path.rfind("/_", 0) == 0;
      EXPECT_EQ(r.IsDeleted(), deletedFolder);
    } else {
      EXPECT_TRUE(r.IsDeleted());
      EXPECT_EQ(r.PartitionStart(), 0u);
      EXPECT_GT(r.EntrySector(), g.reservedSectors);
      auto source = test::MainVolumeSources().find(item.path);
      if (source != test::MainVolumeSources().end()) {
        EXPECT_EQ(r.FileSize(), std::filesystem::file_size(test::FatSource(source->second)));
      }
    }
  }
  auto versions = scan.FindAll("/VERSIONS/_AME.TXT");
  ASSERT_EQ(versions.size(), 2u);
  std::set<uint64_t> sizes{versions[0]->record.FileSize(), versions[1]->record.FileSize()};
  EXPECT_EQ(sizes, (std::set<uint64_t>{3000, 5000}));
  // Files of a deleted folder count below it.
  int count = -1;
  EXPECT_EQ(scan.engine.CountFiles(&scan.Find("/_HOTOS/")->record, 1, count), 0);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(scan.engine.CountFiles(nullptr, 0, count), 0);
  EXPECT_EQ(count, 12);
  EXPECT_EQ(scan.engine.GetFoundCount(), 18u);
  std::string path;
  EXPECT_EQ(scan.engine.GetFullPath(&scan.Find("/_HOTOS/SUB/C.TXT")->record, path, 260), 0);
  EXPECT_EQ(path, "_HOTOS\\SUB\\");
  EXPECT_EQ(test::Sha256File(image), before);
}

INSTANTIATE_TEST_SUITE_P(Fat, MainVolumes,
                         ::testing::Values("fat12-del.img", "fat16-del.img", "fat32-del.img"));

TEST(FastFatScan, FactoryCreatesTheFatEngineForAFastScan) {
  auto engine = EngineFactory::Instance().CreateForImage(FixturePath("fat16-del.img"), 0, false);
  ASSERT_TRUE(engine);
  EXPECT_NE(dynamic_cast<CFastFatRecovery*>(engine.get()), nullptr);
}

TEST(FastFatScan, DataStartOfABigRootAndOfAFloppyComesFromTheRootSize) {
  // The content check reads the picture's first sector: it only passes at the right data start.
  ScannedImage big(FixturePath("fat16-r4096.img"));
  ASSERT_EQ(big.scanResult, 0);
  ASSERT_EQ(big.items.size(), 1u);
  EXPECT_EQ(big.items[0].path, "/_OGO.JPG");
  EXPECT_EQ(big.items[0].record.ContentCheck(), 1u);
  EXPECT_EQ(big.engine.Geometry().rootSectors, 256u);

  ScannedImage floppy(FixturePath("fat12-del.img"));
  EXPECT_EQ(floppy.engine.Geometry().dataStart, 33u);
  EXPECT_EQ(floppy.engine.ClusterSector(0), 19u);
  EXPECT_EQ(floppy.Find("/_hoto1.jpg")->record.ContentCheck(), 1u);
}

TEST(FastFatScan, ClearedHighClusterWordIsProbed) {
  ScannedImage scan(FixturePath("fat32-high.img"));
  ASSERT_EQ(scan.scanResult, 0);
  const auto* high = scan.Find("/_IGH.JPG");
  ASSERT_NE(high, nullptr);
  EXPECT_GT(high->record.ObjectId(), 0xFFFFu);
  EXPECT_EQ(high->record.ContentCheck(), 1u);
  const uint16_t low = uint16_t(high->record.ObjectId() & 0xFFFF);
  EXPECT_EQ(scan.engine.ProbeHighWord(low, false, "jpg"), high->record.ObjectId() >> 16);
  EXPECT_EQ(scan.engine.ProbeHighWord(low, false, ""), 0);  // no extension: not probed
}

TEST(FastFatScan, LiveFolderChainsAreFollowedPastTheFirstCluster) {
  ScannedImage scan(FixturePath("fat16-bigdir.img"));
  ASSERT_EQ(scan.scanResult, 0);
  EXPECT_NE(scan.Find("/MANY/_IRST.TXT"), nullptr);
  // LATE.TXT's entry lies in the folder's second cluster, linked by the allocation table although
  // it does not open with "." and "..".
  EXPECT_NE(scan.Find("/MANY/_ATE.TXT"), nullptr);
}

TEST(FastFatScan, FolderLevelsFollowTheDotDotChain) {
  ScannedImage scan(FixturePath("fat32-del.img"));
  uint32_t level = 99;
  EXPECT_EQ(scan.engine.FolderLevel(scan.engine.RootId(), level), 0);
  EXPECT_EQ(level, 0u);
  EXPECT_EQ(scan.engine.FolderLevel(scan.Find("/DCIM/")->record.ObjectId(), level), 0);
  EXPECT_EQ(level, 1u);
  EXPECT_EQ(scan.engine.FolderLevel(scan.Find("/DCIM/100CAM/")->record.ObjectId(), level), 0);
  EXPECT_EQ(level, 2u);
}

TEST(FastFatScan, ReopensASavedScanLogWithoutScanning) {
  test::ScopedDataDir dataDir;
  CFastFatRecovery first;
  ASSERT_EQ(first.OpenImageFile(FixturePath("fat16-del.img"), 0), 0);
  ScanLogCatalogue::Instance().NewSession();
  ASSERT_EQ(first.Scan(nullptr), 0);
  const std::string log = std::filesystem::path(first.Store()->RecordPath()).filename().string();
  EXPECT_EQ(log.rfind("Fast_0_", 0), 0u);
  auto listed = test::CollectTree(first);

  CFastFatRecovery second;
  ASSERT_EQ(second.OpenImageFile(FixturePath("fat16-del.img"), 0), 0);
  ASSERT_EQ(second.Scan(log.c_str()), 0);
  EXPECT_EQ(test::CollectTree(second).size(), listed.size());
}

TEST(FastFatScan, CancelFromTheProgressCallbackEndsTheScan) {
  test::ScopedDataDir dataDir;
  CFastFatRecovery engine;
  ASSERT_EQ(engine.OpenImageFile(FixturePath("fat16-del.img"), 0), 0);
  ScanLogCatalogue::Instance().NewSession();
  auto cancel = [](void*, int, int, int, uint64_t, uint64_t, uint64_t, int) { return kScanCancelled; };
  engine.SetScanCallbacks(cancel, nullptr, nullptr, 100);
  EXPECT_EQ(engine.Scan(nullptr), kScanCancelled);
}

TEST(FastFatScan, UnopenableOrNonFatSourcesFailClearly) {
  test::ScopedDataDir dataDir;
  CFastFatRecovery missing;
  EXPECT_NE(missing.OpenImageFile("/nonexistent/card.img", 0), 0);
  EXPECT_NE(missing.Scan(nullptr), 0);
  CFastFatRecovery zero;
  EXPECT_EQ(zero.OpenImageFile(FixturePath("zero.img"), 0), kInvalidParameter);
  // A volume cut short after its boot sector opens, and its unreadable root is skipped.
  CFastFatRecovery shortImage;
  EXPECT_EQ(shortImage.OpenImageFile(FixturePath("truncated.img"), 0), 0);
  ScanLogCatalogue::Instance().NewSession();
  EXPECT_EQ(shortImage.Scan(nullptr), 0);
  EXPECT_EQ(shortImage.GetFoundCount(), 0u);
  std::vector<FoundFileRecord> none;
  EXPECT_EQ(zero.ListChildren(nullptr, 0, none), 0);
  EXPECT_EQ(zero.ListChildren(nullptr, 1, none), kInvalidParameter);
  EXPECT_TRUE(none.empty());
}

TEST(FastFatScan, BootSectorsClaimingHugeVolumesAreHeldToWhatTheSourceAndTheTableCanName) {
  test::ScopedDataDir dataDir;
  ScanLogCatalogue::Instance().Reload();
  for (const char* fixture : {"fat16-del.img", "fat32-del.img"}) {
    // The first 4 MiB of the volume, its boot sector claiming 4 G sectors.
    auto bytes = test::ReadFileBytes(FixturePath(fixture));
    bytes.resize(4u << 20);
    bytes[19] = bytes[20] = 0;
    bytes[32] = bytes[33] = bytes[34] = bytes[35] = 0xFF;
    CFastFatRecovery engine;
    ASSERT_EQ(engine.OpenSource(std::make_unique<platform::MemorySource>(bytes), u'E'), 0) << fixture;
    const FatGeometry& g = engine.Geometry();
    EXPECT_LE(uint64_t(g.clusterCount) * g.sectorsPerCluster + g.dataStart, bytes.size() / 512) << fixture;
    EXPECT_EQ(engine.BuildUsageBitmap(), 0);
    ScanLogCatalogue::Instance().NewSession();
    EXPECT_EQ(engine.Scan(nullptr), 0) << fixture;
    EXPECT_GT(engine.GetFoundCount(), 5u) << fixture;
  }
}

// Real images made by others (shared test data). The expected entries come from The Sleuth Kit's
// listings of the same images, deleted short names shown with "!" where fls shows "_".
class SharedImages : public ::testing::Test {
 protected:
  std::string Image(const std::string& relative) {
    std::string path = test::GunzipSharedImage(relative, dir_.path());
    if (path.empty()) ADD_FAILURE() << "shared test data missing: " << relative;
    return path;
  }
  test::TempDir dir_;
};

TEST_F(SharedImages, DeletedFoldersOfWindowsImagesListTheirFiles) {
  ScannedImage scan(Image("dfir_ntfs/fat_deleted_dir.raw.gz"));
  ASSERT_EQ(scan.scanResult, 0);
  std::multiset<std::string> paths;
  for (const auto& p : scan.Paths()) paths.insert(p);
  std::multiset<std::string> expected = {"/test/", "/test_2/", "/test_2/1.txt", "/test_2/2.txt"};
  for (int i = 0; i < 9; ++i) expected.insert("/test/_");
  for (const char* n : {"/test/_0", "/test/_1", "/test/_2", "/test/_3", "/test/_4"}) expected.insert(n);
  EXPECT_EQ(paths, expected);
  // test_2's files were not marked themselves: they are found because their folder was deleted.
  EXPECT_TRUE(scan.Find("/test_2/")->record.IsDeleted());
  EXPECT_TRUE(scan.Find("/test_2/1.txt")->record.IsDeleted());
}

TEST_F(SharedImages, FatcatDeletedImage) {
  ScannedImage scan(Image("fatcat/deleted.img.gz"));
  ASSERT_EQ(scan.scanResult, 0);
  auto paths = scan.Paths();
  EXPECT_EQ(std::set<std::string>(paths.begin(), paths.end()),
            (std::set<std::string>{"/deleted/", "/deleted/.file.txt.swp", "/deleted/file.txt"}));
  EXPECT_EQ(scan.Find("/deleted/file.txt")->record.FileSize(), 23u);
}

TEST_F(SharedImages, ListingImagesWithoutDeletedEntriesFindNothing) {
  for (const char* name : {"dfir_ntfs/fat12.raw.gz", "dfir_ntfs/fat16.raw.gz", "dfir_ntfs/fat_lfn_test.raw.gz",
                           "dfir_ntfs/fat_noloop.raw.gz", "dfir_ntfs/fat_unusual_cluster.raw.gz"}) {
    SCOPED_TRACE(name);
    ScannedImage scan(Image(name));
    EXPECT_EQ(scan.openResult, 0);
    EXPECT_EQ(scan.scanResult, 0);
    EXPECT_TRUE(scan.items.empty());
  }
}

TEST_F(SharedImages, HostileLoopsAndEndlessChainsEnd) {
  for (const char* name : {"dfir_ntfs/fat32_loop.raw.gz", "fatcat/directory-loop.img.gz",
                           "fatcat/infinite-file.img.gz"}) {
    SCOPED_TRACE(name);
    const std::string image = Image(name);
    const std::string before = test::Sha256File(image);
    ScannedImage scan(image);
    EXPECT_EQ(scan.scanResult, 0);
    test::TempDir out;
    for (const auto& item : scan.items)
      if (!item.record.IsFolder())
        scan.engine.RecoverFile(&item.record, out.File(std::to_string(item.record.RecordNumber())), 0);
    EXPECT_EQ(scan.engine.BuildUsageBitmap(), 0);
    EXPECT_EQ(test::Sha256File(image), before);
  }
}

}  // namespace
}  // namespace salvora
