#include <gtest/gtest.h>

#include "ntfs/CProfessionalNtfsRecovery.h"
#include "ntfs/ClusterEstimate.h"
#include "ntfs/MftMap.h"
#include "scan/ScanLogName.h"
#include "DeepNtfsSupport.h"

namespace salvora {
namespace {

using test::DeepScan;
using test::RecordBuilder;

// A 4 MiB image of 512-byte sectors holding records at chosen sectors; nothing else.
class SyntheticImage {
 public:
  static constexpr uint64_t kSectors = 8192;
  SyntheticImage() : bytes_(kSectors * 512, 0) {}
  void Put(uint64_t sector, const std::vector<uint8_t>& record) {
    std::copy(record.begin(), record.end(), bytes_.begin() + sector * 512);
  }
  std::string Write() {
    std::string path = dir_.File("synthetic.img");
    test::WriteFileBytes(path, bytes_);
    return path;
  }
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  test::TempDir dir_;
  std::vector<uint8_t> bytes_;
};

// Record k of a contiguous table that starts at sector 1000.
constexpr uint64_t kTable = 1000;
uint64_t At(uint64_t k) { return kTable + 2 * k; }

TEST(DeepNtfsClusterEstimate, GuessFollowsTheVolumeSize) {
  constexpr uint64_t kMiB = 2048;  // sectors of 512 bytes
  EXPECT_EQ(GuessClusterSectors(300ull * 1024 * kMiB, 512), 8u);
  EXPECT_EQ(GuessClusterSectors(600 * kMiB, 512), 2u);
  EXPECT_EQ(GuessClusterSectors(100 * kMiB, 512), 1u);
  EXPECT_EQ(GuessClusterSectors(5 * kMiB, 512), 8u);
  EXPECT_EQ(GuessClusterSectors(1500 * kMiB, 512), 4u);
  // 4 KiB sectors: the bounds scale with the sector size.
  EXPECT_EQ(GuessClusterSectors(600 * kMiB / 8, 4096), 1u);
}

TEST(DeepNtfsClusterEstimate, InferredFromAllocatedSizeOverClusters) {
  NtfsRecordHelper helper;
  auto infer = [&](std::vector<uint8_t> r, uint32_t& spc) {
    helper.ApplyFixup(r.data(), r.size());
    return InferClusterSectors(ByteView(r.data(), r.size()), helper, spc);
  };
  uint32_t spc = 99;
  // Runs of 6 and 4 clusters, 40,960 bytes allocated: 8 sectors per cluster.
  auto two = RecordBuilder(40, 0).FileName("a.bin", 5).NonResidentData({0x11, 6, 0x20, 0x11, 4, 0x10}, 40960, 40000).Build();
  EXPECT_EQ(infer(two, spc), 0);
  EXPECT_EQ(spc, 8u);
  EXPECT_EQ(infer(RecordBuilder(41, 0).FileName("r.txt", 5).ResidentData("hi").Build(), spc), 0);
  EXPECT_EQ(spc, 0u);
  // Three sectors per cluster is no formatter's choice: nothing learnt.
  EXPECT_EQ(infer(RecordBuilder(42, 0).NonResidentData({0x11, 10, 0x20}, 15360, 100).Build(), spc), 0);
  EXPECT_EQ(spc, 0u);
  // An attribute list before $DATA stops the walk.
  EXPECT_EQ(infer(RecordBuilder(43, 0).AttributeList().NonResidentData({0x11, 10, 0x20}, 40960, 1).Build(), spc), 0);
  EXPECT_EQ(spc, 0u);
  auto noMagic = RecordBuilder(44, 0).Build();
  noMagic[0] = 'X';
  EXPECT_EQ(infer(noMagic, spc), kInvalidParameter);
}

TEST(DeepNtfsMftMap, MappedTablePlacesRecordsAndGivesTheVolumeStart) {
  MftMap map;
  // Volume at 2048, clusters of 8 sectors, table in two runs: clusters 100..103 then 200..203.
  const uint64_t recordZero = 2048 + 100 * 8;
  map.Set(recordZero, RunList{{4, 100, false}, {4, 100, false}});
  MftLayout layout;
  // Record 20 is 40 sectors into the table: the second run, 8 sectors in.
  uint64_t s20 = 2048 + 200 * 8 + 8;
  EXPECT_EQ(map.VolumeStartForRecord(s20, 20, 8, 2, 0, layout), 2048u);
  EXPECT_FALSE(layout.contiguous);
  EXPECT_EQ(layout.runs.size(), 2u);
  EXPECT_EQ(LocateRecord(layout, 2048, 8, 2, 3), recordZero + 6);
  EXPECT_EQ(LocateRecord(layout, 2048, 8, 2, 16), 2048u + 200 * 8);  // the end of one run starts the next
  EXPECT_EQ(LocateRecord(layout, 2048, 8, 2, 1000), 2048u);          // beyond the table
  // Not at its place in that table: a contiguous table ending at the record.
  EXPECT_EQ(map.VolumeStartForRecord(s20 + 2, 20, 8, 2, 77, layout), 77u);
  EXPECT_TRUE(layout.contiguous);
  EXPECT_EQ(layout.contiguousStart, s20 + 2 - 40);
  EXPECT_EQ(LocateRecord(layout, 77, 8, 2, 7), s20 + 2 - 40 + 14);
  // A record number too large for its sector has nowhere to look for its parents.
  EXPECT_EQ(map.VolumeStartForRecord(10, 100, 8, 2, 0, layout), 0u);
  EXPECT_FALSE(layout.contiguous);
  EXPECT_TRUE(layout.runs.empty());
}

TEST(DeepNtfsMftMap, FirstMatchingTableInSectorOrderWins) {
  MftMap map;
  map.Set(5000, RunList{{16, 0, false}});  // first cluster 0: volume start not told by the table
  map.Set(900, RunList{{16, 100, false}});
  RunList layout;
  EXPECT_EQ(map.FindTableForRecord(2, 904, 8, 2, layout), 900u);
  EXPECT_EQ(map.FindTableForRecord(2, 5004, 8, 2, layout), 5000u);
  MftLayout l;
  EXPECT_EQ(map.VolumeStartForRecord(5004, 2, 8, 2, 33, l), 33u);
  EXPECT_EQ(map.FindTableForRecord(2, 905, 8, 2, layout), 0u);
}

TEST(DeepNtfsScan, ReportsFilesInUseOrDeletedAndRebuildsTheirFolders) {
  SyntheticImage image;
  image.Put(At(30), RecordBuilder(30, 3).FileName("A", 5).Build());        // directory in use
  image.Put(At(31), RecordBuilder(31, 2).FileName("B", 30).Build());       // deleted directory
  image.Put(At(40), RecordBuilder(40, 0).FileName("x.txt", 31, 5).ResidentData("hello").Build());
  image.Put(At(41), RecordBuilder(41, 1).FileName("y.txt", 5, 3).ResidentData("abc").Build());
  image.Put(At(42), RecordBuilder(42, 2).FileName("Empty", 5).Build());
  image.Put(At(9), RecordBuilder(9, 0).FileName("$Secure", 5).Build());    // system record
  std::string path = image.Write();
  std::string before = test::Sha256File(path);
  DeepScan scan(path);
  ASSERT_EQ(scan.openResult, 0);
  EXPECT_EQ(scan.folderResult, 0);
  ASSERT_EQ(scan.Named("x.txt", false).size(), 1u);
  ASSERT_EQ(scan.Named("y.txt", false).size(), 1u);
  EXPECT_TRUE(scan.Named("Empty", true).empty());
  EXPECT_TRUE(scan.Named("$Secure", false).empty());
  const FoundFileRecord& x = *scan.Named("x.txt", false)[0];
  EXPECT_EQ(x.EngineKind(), CProfessionalNtfsRecovery::kRecordKind);
  EXPECT_EQ(x.EntrySector(), At(40));
  EXPECT_EQ(x.ObjectId(), 40u);
  EXPECT_EQ(x.FileSize(), 5u);
  EXPECT_EQ(x.ClusterSize(), 8u * 512);  // the guess for a 4 MiB volume
  EXPECT_EQ(scan.PathOf(x), "A\\B\\");
  // The record's in-use flag tells deleted finds from live ones.
  EXPECT_TRUE(x.IsDeleted());
  EXPECT_FALSE(scan.Named("y.txt", false)[0]->IsDeleted());
  EXPECT_FALSE(scan.Named("A", true)[0]->IsDeleted());
  EXPECT_TRUE(scan.Named("B", true)[0]->IsDeleted());
  ASSERT_EQ(scan.engine->Folders().size(), 2u);
  EXPECT_EQ(scan.engine->Folders()[0].record, 31u);
  EXPECT_TRUE(scan.engine->Folders()[0].layout.contiguous);
  EXPECT_EQ(scan.engine->Folders()[0].layout.contiguousStart, kTable);
  EXPECT_EQ(scan.Named("A", true).size(), 1u);
  EXPECT_EQ(scan.Named("B", true).size(), 1u);
  std::vector<FoundFileRecord> root;
  EXPECT_EQ(scan.engine->ListChildren(nullptr, 0, root), 0);
  int count = 0;
  EXPECT_EQ(scan.engine->CountFiles(nullptr, 0, count), 0);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(test::Sha256File(path), before);
}

TEST(DeepNtfsScan, MftRecordsAddTablesAndAreNotReported) {
  SyntheticImage image;
  // Volume start 0, 8 sectors per cluster, table at cluster 125 (sector 1000) of 8 clusters.
  image.Put(At(0), RecordBuilder(0, 1).FileName("$MFT", 5).NonResidentData({0x11, 8, 125}, 32768, 32768).Build());
  image.Put(3000, RecordBuilder(0, 1).FileName("$mft", 5).NonResidentData({0x11, 8, 0x7D}, 32768, 32768).Build());
  image.Put(4000, RecordBuilder(0, 1).FileName("$MFTMirr", 5).NonResidentData({0x11, 1, 2}, 4096, 4096).Build());
  image.Put(At(20), RecordBuilder(20, 0).FileName("f.txt", 5).ResidentData("f").Build());
  DeepScan scan(image.Write());
  const auto& tables = scan.engine->Tables().Tables();
  ASSERT_EQ(tables.size(), 2u);
  EXPECT_EQ(tables.count(At(0)), 1u);
  EXPECT_EQ(tables.count(3000), 1u);
  EXPECT_EQ(tables.at(At(0)), (RunList{{8, 125, false}}));
  EXPECT_TRUE(scan.Named("$MFT", false).empty());
  EXPECT_TRUE(scan.Named("$mft", false).empty());
  ASSERT_EQ(scan.Named("f.txt", false).size(), 1u);
  // Record 20 lies where the first table puts it: volume start = 1000 - 125 x 8 = 0.
  EXPECT_EQ(scan.Named("f.txt", false)[0]->PartitionStart(), 0u);
}

TEST(DeepNtfsScan, ScanLogNameCarriesTheVolumeStartAndTheMinute) {
  platform::LocalTime when{2026, 12, 7, 6, 5, 0};
  EXPECT_EQ(MakeScanLogName(CProfessionalNtfsRecovery::kLogPrefix, 0, when), "Pro_Ntfs_0_20261276 5");
}

TEST(DeepNtfsScan, SlotsWithoutAStoreAnswerQuietly) {
  CProfessionalNtfsRecovery engine;
  std::vector<FoundFileRecord> out;
  int count = 0;
  std::string path;
  EXPECT_EQ(engine.ListChildren(nullptr, 1, out), kInvalidParameter);
  EXPECT_EQ(engine.ListChildren(nullptr, 0, out), 0);
  EXPECT_EQ(engine.CountFiles(nullptr, 0, count), 0);
  EXPECT_EQ(engine.GetFoundCount(), 0u);
  EXPECT_EQ(engine.GetFullPath(nullptr, path, 260), kInvalidParameter);
  EXPECT_EQ(engine.SetSearchCallback(nullptr, nullptr), kInvalidParameter);
  EXPECT_EQ(engine.SearchByExtension("*.jpg|", out), 0);
  EXPECT_EQ(engine.Scan(nullptr), 0);
  EXPECT_EQ(engine.RecoverFile(nullptr, "/tmp/x", 0), kInvalidParameter);
  uint64_t start = 7, length = 9;
  EXPECT_EQ(engine.NextUnusedRange(start, length), 0);
  EXPECT_EQ(engine.BuildUsageBitmap(), 0);
  EXPECT_EQ(engine.ClusterEstimate(), 8u);
  EXPECT_EQ(engine.BytesPerSector(), 512);
}

}  // namespace
}  // namespace salvora

namespace salvora {
namespace {

using test::DeepScan;
using test::RecordBuilder;

// A deep engine opened on a blank 4 MiB image, with a scan log, fed records by hand.
struct HandFed {
  test::TempDir dir;
  DeepScan scan;
  static std::string Blank(const test::TempDir& dir) {
    std::string path = dir.File("blank.img");
    test::WriteFileBytes(path, std::vector<uint8_t>(4 << 20, 0));
    return path;
  }
  HandFed() : scan(Blank(dir), false) {}
  int Feed(std::vector<uint8_t> record, uint64_t sector) {
    return scan.engine->OnFileRecord(record.data(), record.size(), sector);
  }
};

TEST(DeepNtfsHostile, DamagedRecordsAreDroppedAndTheNextOneStillCounts) {
  HandFed fed;
  auto good = RecordBuilder(40, 0).FileName("ok.txt", 5).ResidentData("fine").Build();
  // First-attribute offset past the bytes in use, and past the record.
  auto r = good;
  StoreLe16(&r[0x14], 0x3F0);
  EXPECT_EQ(fed.Feed(r, 100), kInvalidParameter);
  StoreLe16(&r[0x14], 0xFFF0);
  EXPECT_EQ(fed.Feed(r, 100), kInvalidParameter);
  // Bytes in use beyond the record.
  r = good;
  StoreLe32(&r[0x18], 5000);
  EXPECT_EQ(fed.Feed(r, 100), kInvalidParameter);
  // Torn: the second stride belongs to some other write; the attribute walk runs into it.
  r = good;
  auto bigName = RecordBuilder(41, 0).FileName(std::string(200, 'n'), 5).Build();
  std::copy(bigName.begin() + 512, bigName.end(), r.begin() + 512);
  StoreLe32(&r[0x18], 1000);
  StoreLe32(&r[0x38 + 4], 0x7F0);  // the first attribute's length leaves the record
  EXPECT_EQ(fed.Feed(r, 100), kInvalidParameter);
  // An attribute length of 0, and a name longer than its attribute.
  r = good;
  StoreLe32(&r[0x38 + 4], 0);
  EXPECT_NE(fed.Feed(r, 100), 0);
  r = good;
  r[0x38 + 0x58] = 250;
  EXPECT_EQ(fed.Feed(r, 100), kInvalidParameter);
  // No magic at all, and a buffer shorter than a record.
  r = good;
  r[0] = 'B';
  EXPECT_EQ(fed.Feed(r, 100), -1);
  EXPECT_EQ(fed.scan.engine->OnFileRecord(good.data(), 512, 100), kInvalidParameter);
  EXPECT_EQ(fed.scan.engine->GetFoundCount(), 0u);
  EXPECT_EQ(fed.Feed(good, 100), 0);
  EXPECT_EQ(fed.scan.engine->GetFoundCount(), 1u);
}

TEST(DeepNtfsHostile, ParentChainsIntoGarbageEndAndTheFileStaysReachable) {
  HandFed fed;
  // The contiguous table of record 70 at sector 400 starts at 260: 71 and 72 point at each other.
  auto a = RecordBuilder(71, 3).FileName("L1", 72).Build();
  auto b = RecordBuilder(72, 3).FileName("L2", 71).Build();
  {
    std::vector<uint8_t> image = test::ReadFileBytes(fed.dir.File("blank.img"));
    std::copy(a.begin(), a.end(), image.begin() + (260 + 142) * 512);
    std::copy(b.begin(), b.end(), image.begin() + (260 + 144) * 512);
    test::WriteFileBytes(fed.dir.File("blank.img"), image);
  }
  // Parents far beyond the source, a parent whose record is zeros, and one that cycles.
  EXPECT_EQ(fed.Feed(RecordBuilder(40, 0).FileName("far.txt", 0x7FFFFFFF).ResidentData("a").Build(), 200), 0);
  EXPECT_EQ(fed.Feed(RecordBuilder(50, 0).FileName("zero.txt", 60).ResidentData("b").Build(), 300), 0);
  EXPECT_EQ(fed.Feed(RecordBuilder(70, 0).FileName("loop2.txt", 71).ResidentData("d").Build(), 400), 0);
  fed.scan.engine->FolderPass();
  fed.scan.Collect();
  for (const char* lost : {"LostFolder2147483647", "LostFolder60"})
    EXPECT_EQ(fed.scan.Named(lost, true).size(), 1u) << lost;
  EXPECT_EQ(fed.scan.PathOf(*fed.scan.Named("far.txt", false)[0]), "LostFolder2147483647\\");
  EXPECT_EQ(fed.scan.PathOf(*fed.scan.Named("zero.txt", false)[0]), "LostFolder60\\");
  EXPECT_EQ(fed.scan.Named("L1", true).size(), 1u);
  EXPECT_EQ(fed.scan.Named("L2", true).size(), 1u);
}

TEST(DeepNtfsHostile, AParentRecordOfAnotherNumberEndsTheChain) {
  HandFed fed;
  std::vector<uint8_t> image(4 << 20, 0);
  auto other = RecordBuilder(33, 3).FileName("Other", 5).Build();
  std::copy(other.begin(), other.end(), image.begin() + (1000 - 80 + 60) * 512);
  test::WriteFileBytes(fed.dir.File("blank.img"), image);
  EXPECT_EQ(fed.Feed(RecordBuilder(40, 0).FileName("f.txt", 30).ResidentData("f").Build(), 1000), 0);
  ASSERT_EQ(fed.scan.engine->Folders().size(), 1u);
  fed.scan.engine->FolderPass();
  fed.scan.Collect();
  auto others = fed.scan.Named("Other", true);
  ASSERT_EQ(others.size(), 1u);
  EXPECT_EQ(others[0]->ObjectId(), 33u);
  EXPECT_EQ(others[0]->EntrySector(), 1000u - 80 + 60);
  // The file stays reachable under a lost folder of the number it named.
  EXPECT_EQ(fed.scan.PathOf(*fed.scan.Named("f.txt", false)[0]), "LostFolder30\\");
}

TEST(DeepNtfsHostile, AFolderOfTwoVolumesIsReadInTheFirstContext) {
  HandFed fed;
  fed.Feed(RecordBuilder(40, 0).FileName("one.txt", 30).ResidentData("1").Build(), 1000);
  fed.Feed(RecordBuilder(40, 0).FileName("two.txt", 30).ResidentData("2").Build(), 3000);
  ASSERT_EQ(fed.scan.engine->Folders().size(), 1u);
  EXPECT_EQ(fed.scan.engine->Folders()[0].layout.contiguousStart, 1000u - 80);
}

TEST(DeepNtfsHostile, GetAttributeRunsStopsAtAnAttributeList) {
  HandFed fed;
  std::vector<uint8_t> image(4 << 20, 0);
  auto listed = RecordBuilder(40, 0).FileName("l.bin", 5).AttributeList().NonResidentData({0x11, 4, 0x20}, 16384, 100).Build();
  auto plain = RecordBuilder(41, 0).FileName("p.bin", 5).NonResidentData({0x11, 4, 0x20}, 16384, 100).Build();
  std::copy(listed.begin(), listed.end(), image.begin() + 100 * 512);
  std::copy(plain.begin(), plain.end(), image.begin() + 102 * 512);
  test::WriteFileBytes(fed.dir.File("blank.img"), image);
  RunList runs;
  EXPECT_EQ(fed.scan.engine->GetAttributeRuns(100, 0x80, runs), kInvalidParameter);
  EXPECT_EQ(fed.scan.engine->GetAttributeRuns(102, 0x80, runs), 0);
  EXPECT_EQ(runs, (RunList{{4, 0x20, false}}));
  EXPECT_EQ(fed.scan.engine->GetAttributeRuns(102, 0xA0, runs), -100);
  EXPECT_EQ(fed.scan.engine->GetAttributeRuns(104, 0x80, runs), -1);
}

}  // namespace
}  // namespace salvora
