#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>

#include "DeepFatTestSupport.h"
#include "fat/DeepFatGeometry.h"
#include "fatdir/FatDirEntry.h"
#include "output/OutputFiles.h"
#include "platform/RawSource.h"
#include "scan/ScanLogCatalogue.h"
#include "support/TestSupport.h"

// Volumes written entry by entry, for the cases no tool produces on purpose: lost folder entries,
// a cleared high cluster word, hostile directory sectors, long names met out of order.
namespace salvora {
namespace {

constexpr uint32_t kSector = 512;
// Layout of the hand-made volumes: one sector per cluster, cluster 2 at sector 100.
constexpr uint64_t kDataStart = 100;
uint64_t SectorOf(uint32_t cluster) { return kDataStart + cluster - 2; }

class Volume {
 public:
  explicit Volume(uint64_t sectors) : bytes_(sectors * kSector) {}
  uint8_t* Sector(uint64_t s) { return bytes_.data() + s * kSector; }
  uint8_t* Entry(uint64_t s, int i) { return Sector(s) + i * 32; }

  // An 8.3 entry dated 2020; name11 is the space-padded base name and extension.
  void Put83(uint64_t s, int i, const char* name11, uint8_t attr, uint32_t cluster, uint32_t size,
             bool deleted = false) {
    uint8_t* e = Entry(s, i);
    std::memset(e, 0, 32);
    std::memcpy(e, name11, 11);
    if (deleted) e[0] = 0xE5;
    e[11] = attr;
    const uint16_t date = uint16_t(((2020 - 1980) << 9) | (6 << 5) | 15), time = uint16_t(12 << 11);
    StoreLe16(e + 14, time);
    StoreLe16(e + 16, date);
    StoreLe16(e + 18, date);
    StoreLe16(e + 20, uint16_t(cluster >> 16));
    StoreLe16(e + 22, time);
    StoreLe16(e + 24, date);
    StoreLe16(e + 26, uint16_t(cluster));
    StoreLe32(e + 28, size);
  }
  void PutDirStart(uint64_t s, uint32_t self, uint32_t parent) {
    Put83(s, 0, ".          ", 0x10, self, 0);
    Put83(s, 1, "..         ", 0x10, parent, 0);
  }
  // The long-name entries of name for the 8.3 name name11, in on-disk order, from entry i on
  // (possibly running into the next sectors). Returns the entry index after them.
  int PutLongName(uint64_t s, int i, const std::u16string& name, const char* name11) {
    const uint8_t sum = ShortNameChecksum(reinterpret_cast<const uint8_t*>(name11));
    const int parts = int((name.size() + 12) / 13);
    for (int p = parts; p >= 1; --p, ++i) {
      uint8_t* e = Entry(s + uint64_t(i / 16), i % 16);
      std::memset(e, 0xFF, 32);
      e[0] = uint8_t(p | (p == parts ? 0x40 : 0));
      e[11] = 0x0F;
      e[12] = 0;
      e[13] = sum;
      e[26] = e[27] = 0;
      static constexpr int kAt[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
      for (int k = 0; k < 13; ++k) {
        const size_t at = size_t(p - 1) * 13 + size_t(k);
        if (at < name.size()) StoreLe16(e + kAt[k], name[at]);
        else if (at == name.size()) StoreLe16(e + kAt[k], 0);
      }
    }
    return i;
  }
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

class DeepFatSynthetic : public ::testing::Test {
 protected:
  void SetUp() override { ScanLogCatalogue::Instance().NewSession(); }
  void Open(Volume& v) {
    ASSERT_EQ(engine_.OpenSource(std::make_unique<platform::MemorySource>(v.bytes()), u'F'), 0);
  }
  test::ScopedDataDir data_;
  CProfessionalFatRecovery engine_;
};

TEST(DeepFatGeometry, BootSectorOfFat32) {
  std::vector<uint8_t> boot(4096);
  StoreLe16(&boot[11], 512);
  boot[13] = 8;
  StoreLe16(&boot[14], 32);
  boot[16] = 2;
  StoreLe32(&boot[32], 2000000);
  StoreLe32(&boot[36], 1000);
  StoreLe32(&boot[44], 7);
  std::memcpy(&boot[82], "FAT32   ", 8);
  boot[510] = 0x55;
  boot[511] = 0xAA;
  uint32_t root = 0;
  auto g = GeometryFromBootArea(ByteView(boot.data(), boot.size()), 2048, 512, root);
  ASSERT_TRUE(g);
  EXPECT_EQ(g->sectorsPerCluster, 8u);
  EXPECT_EQ(g->dataOffset, 2032u);
  EXPECT_EQ(g->base, 2048u);
  EXPECT_EQ(root, 7u);
  EXPECT_EQ(g->ClusterSector(7), 2048u + 2032u + 5u * 8u);
  boot[510] = 0;
  EXPECT_FALSE(GeometryFromBootArea(ByteView(boot.data(), boot.size()), 0, 512, root));
}

TEST(DeepFatGeometry, AnchorPairs) {
  auto g = GeometryFromAnchors({100, 10000}, {200, 10800}, 0);
  ASSERT_TRUE(g);
  EXPECT_EQ(g->sectorsPerCluster, 8u);
  EXPECT_EQ(g->DataStart(), 10000u - 98u * 8u);
  EXPECT_EQ(g->DataStart(), 9216u);
  // Either order gives the same answer.
  EXPECT_EQ(*GeometryFromAnchors({200, 10800}, {100, 10000}, 0), *g);
  EXPECT_FALSE(GeometryFromAnchors({100, 10000}, {200, 10300}, 0));  // 3 sectors per cluster
  EXPECT_FALSE(GeometryFromAnchors({100, 10000}, {101, 10256}, 0));  // 256
  EXPECT_FALSE(GeometryFromAnchors({100, 10000}, {100, 10008}, 0));  // same cluster
  EXPECT_FALSE(GeometryFromAnchors({100, 10000}, {200, 10810}, 0));  // does not divide
  EXPECT_FALSE(GeometryFromAnchors({100, 10800}, {200, 10000}, 0));  // sectors against clusters
  EXPECT_FALSE(GeometryFromAnchors({1000, 1000}, {1001, 1008}, 0));  // cluster 2 before sector 0
  EXPECT_FALSE(GeometryFromAnchors({100, 10000}, {200, 10800}, 9300));  // before the window
}

TEST_F(DeepFatSynthetic, AnchorsGiveTheGeometryThroughTheEngine) {
  Volume v(11000);
  v.PutDirStart(10000, 100, 0);
  v.PutDirStart(10800, 200, 0);
  Open(v);
  ASSERT_EQ(engine_.BeginProScan(""), 0);
  ASSERT_EQ(engine_.ReadBootArea(), 0);
  EXPECT_TRUE(engine_.Geometries().empty());
  ASSERT_EQ(engine_.TakeSubdirectoryStart(v.Sector(10000), 10000), 0);
  EXPECT_TRUE(engine_.Geometries().empty());
  ASSERT_EQ(engine_.TakeSubdirectoryStart(v.Sector(10800), 10800), 0);
  ASSERT_EQ(engine_.Geometries().size(), 1u);
  EXPECT_EQ(engine_.Geometries()[0].sectorsPerCluster, 8u);
  EXPECT_EQ(engine_.Geometries()[0].dataOffset, 9216u);
  // A third start the geometry already places adds nothing.
  v.PutDirStart(10808, 201, 0);
  ASSERT_EQ(engine_.TakeSubdirectoryStart(v.Sector(10808), 10808), 0);
  EXPECT_EQ(engine_.Geometries().size(), 1u);
  EXPECT_EQ(engine_.Anchors().size(), 2u);
  EXPECT_EQ(engine_.FinishProScan(), 0);
}

// Folder A (cluster 10) lost its own entry; it lists A.TXT and the folder KEEP (12). Folder B (11)
// names A as its parent, but A's listing lost B's entry.
void BuildLostFolders(Volume& v) {
  v.PutDirStart(SectorOf(10), 10, 0);
  v.Put83(SectorOf(10), 2, "A       TXT", 0x20, 40, 100);
  v.Put83(SectorOf(10), 3, "KEEP       ", 0x10, 12, 0);
  v.PutDirStart(SectorOf(11), 11, 10);
  v.Put83(SectorOf(11), 2, "B       TXT", 0x20, 41, 100);
  v.PutDirStart(SectorOf(12), 12, 10);
  v.Put83(SectorOf(12), 2, "K       TXT", 0x20, 42, 100);
}

TEST_F(DeepFatSynthetic, FolderWithoutItsEntryIsALostFolderUnderItsDotDot) {
  Volume v(200);
  BuildLostFolders(v);
  Open(v);
  ASSERT_EQ(test::DeepFatSweep(engine_), 0);
  auto tree = test::DeepFatTree(engine_);
  SCOPED_TRACE(test::DescribeTree(tree));
  ASSERT_EQ(tree.size(), 6u);
  EXPECT_NE(test::FindItem(tree, "LostFolder10/A.TXT"), nullptr);
  EXPECT_NE(test::FindItem(tree, "LostFolder10/KEEP/K.TXT"), nullptr);
  const test::FoundItem* lost = test::FindItem(tree, "LostFolder10/LostFolder11");
  ASSERT_NE(lost, nullptr);
  EXPECT_TRUE(lost->record.IsFolder());
  EXPECT_EQ(lost->record.ObjectId(), 11u);
  EXPECT_NE(test::FindItem(tree, "LostFolder10/LostFolder11/B.TXT"), nullptr);
  std::string path;
  ASSERT_EQ(engine_.GetFullPath(&test::FindItem(tree, "LostFolder10/KEEP/K.TXT")->record, path, 260), 0);
  EXPECT_EQ(path, "LostFolder10\\KEEP\\");
  int count = 0;
  ASSERT_EQ(engine_.CountFiles(nullptr, 0, count), 0);
  EXPECT_EQ(count, 3);
}

TEST_F(DeepFatSynthetic, DeletedFileFindsItsHighWordByTrial) {
  // EXAMPLE.JPG lies at cluster 0x10005; its deleted entry kept only the low word.
  const uint32_t cluster = (1u << 16) | 5u;
  Volume v(SectorOf(cluster) + 8);
  BuildLostFolders(v);
  v.Put83(SectorOf(10), 4, "EXAMPLE JPG", 0x20, 5, 1000, true);
  static const uint8_t kJfif[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0};
  std::memcpy(v.Sector(SectorOf(cluster)), kJfif, sizeof kJfif);
  Open(v);
  ASSERT_EQ(test::DeepFatSweep(engine_), 0);
  auto tree = test::DeepFatTree(engine_);
  SCOPED_TRACE(test::DescribeTree(tree));
  const test::FoundItem* item = test::FindItem(tree, "LostFolder10/_XAMPLE.JPG");
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->record.ObjectId(), cluster);
  EXPECT_TRUE(item->record.IsDeleted());
  EXPECT_EQ(item->record.ContentCheck(), 1u);
}

TEST_F(DeepFatSynthetic, LongNameMetBeforeItsStartIsJoinedOnce) {
  // Folder L (cluster 13): ".", "..", eleven 8.3 files, then a long name whose three parts fill
  // entries 13-15 and whose 8.3 entry opens the next sector (cluster 14, the folder's next one).
  Volume v(200);
  BuildLostFolders(v);
  v.PutDirStart(SectorOf(13), 13, 10);
  for (int i = 0; i < 11; ++i) {
    char name[12];
    std::snprintf(name, sizeof name, "F%02d     TXT", i);
    v.Put83(SectorOf(13), 2 + i, name, 0x20, 50 + uint32_t(i), 10);
  }
  const char* shortName = "ALONGN~1BIN";
  EXPECT_EQ(v.PutLongName(SectorOf(13), 13, u"A long name across sectors.bin", shortName), 16);
  v.Put83(SectorOf(14), 0, shortName, 0x20, 70, 10);
  Open(v);
  ASSERT_EQ(engine_.BeginProScan(""), 0);
  ASSERT_EQ(engine_.ReadBootArea(), 0);
  // The continuation comes first, before any geometry: it is kept.
  ASSERT_EQ(engine_.TakeDirectorySector(v.Sector(SectorOf(14)), SectorOf(14)), 0);
  EXPECT_EQ(engine_.KeptSectorCount(), 1u);
  for (uint32_t c : {13u, 10u, 11u, 12u})
    ASSERT_EQ(engine_.TakeSubdirectoryStart(v.Sector(SectorOf(c)), SectorOf(c)), 0);
  EXPECT_EQ(engine_.OpenFragmentCount(), 0u);
  ASSERT_EQ(engine_.FinishProScan(), 0);
  auto tree = test::DeepFatTree(engine_);
  SCOPED_TRACE(test::DescribeTree(tree));
  int named = 0, total = 0;
  for (const auto& item : tree) {
    if (item.path.rfind("LostFolder10/LostFolder13/", 0) != 0) continue;
    ++total;
    named += item.path == "LostFolder10/LostFolder13/A long name across sectors.bin";
  }
  EXPECT_EQ(named, 1);
  EXPECT_EQ(total, 12);
}

TEST_F(DeepFatSynthetic, LongNameAcrossSectorsInSweepOrder) {
  Volume v(200);
  BuildLostFolders(v);
  v.PutDirStart(SectorOf(13), 13, 10);
  const char* shortName = "PHOTOS~1TXT";
  for (int i = 2; i < 14; ++i) v.Put83(SectorOf(13), i, "FILLER  TXT", 0x20, 60, 10, true);
  EXPECT_EQ(v.PutLongName(SectorOf(13), 14, u"Photos of the day.txt", shortName), 16);
  v.Put83(SectorOf(14), 0, shortName, 0x20, 71, 10);
  Open(v);
  ASSERT_EQ(test::DeepFatSweep(engine_), 0);
  auto tree = test::DeepFatTree(engine_);
  SCOPED_TRACE(test::DescribeTree(tree));
  EXPECT_NE(test::FindItem(tree, "LostFolder10/LostFolder13/Photos of the day.txt"), nullptr);
  for (const auto& item : tree) EXPECT_EQ(item.path.find("photos~1"), std::string::npos);
}

TEST_F(DeepFatSynthetic, AnOverlongNameRunEndsOnlyItsOwnName) {
  // Folder 13 over three sectors: a live file with a 255-character name (20 pieces), a deleted
  // file behind a run of 21 deleted pieces (longer than any name), then one more file.
  Volume v(200);
  BuildLostFolders(v);
  v.PutDirStart(SectorOf(13), 13, 10);
  const std::u16string longest = std::u16string(251, u'n') + u".txt";
  int i = v.PutLongName(SectorOf(13), 2, longest, "NNNNNN~1TXT");
  ASSERT_EQ(i, 22);
  v.Put83(SectorOf(13), i++, "NNNNNN~1TXT", 0x20, 80, 10);
  const int runStart = i;
  i = v.PutLongName(SectorOf(13), i, std::u16string(21 * 13 - 1, u'o'), "OVERRUN BIN");
  for (int k = runStart; k < i; ++k) v.Entry(SectorOf(13) + uint64_t(k / 16), k % 16)[0] = 0xE5;
  v.Put83(SectorOf(13) + uint64_t(i / 16), i % 16, "OVERRUN BIN", 0x20, 81, 10, true);
  ++i;
  v.Put83(SectorOf(13) + uint64_t(i / 16), i % 16, "AFTER   TXT", 0x20, 82, 10);
  Open(v);
  ASSERT_EQ(test::DeepFatSweep(engine_), 0);
  auto tree = test::DeepFatTree(engine_);
  SCOPED_TRACE(test::DescribeTree(tree));
  const std::string folder = "LostFolder10/LostFolder13/";
  EXPECT_NE(test::FindItem(tree, folder + std::string(251, 'n') + ".txt"), nullptr);
  EXPECT_NE(test::FindItem(tree, folder + "_VERRUN.BIN"), nullptr);
  EXPECT_NE(test::FindItem(tree, folder + "AFTER.TXT"), nullptr);
}

TEST_F(DeepFatSynthetic, FolderRecoveryKeepsNamesApartAndInside) {
  // Three deleted versions of one name and a long name that tries to climb out of the folder.
  Volume v(200);
  BuildLostFolders(v);
  v.PutDirStart(SectorOf(13), 13, 10);
  for (int i = 2; i < 5; ++i) v.Put83(SectorOf(13), i, "REPORT  TXT", 0x20, 60 + uint32_t(i), 4, true);
  const char* shortName = "ESCAPE~1TXT";
  const int next = v.PutLongName(SectorOf(13), 5, u"../../escape.txt", shortName);
  v.Put83(SectorOf(13), next, shortName, 0x20, 70, 4);
  for (uint32_t c = 60; c <= 70; ++c) std::memcpy(v.Sector(SectorOf(c)), "data", 4);
  Open(v);
  ASSERT_EQ(test::DeepFatSweep(engine_), 0);
  auto tree = test::DeepFatTree(engine_);
  SCOPED_TRACE(test::DescribeTree(tree));
  const test::FoundItem* folder = test::FindItem(tree, "LostFolder10/LostFolder13");
  ASSERT_NE(folder, nullptr);
  test::TempDir out;
  const std::string target = out.File("lost");
  // The folder sits at depth 1: its children are listed with depth 2.
  ASSERT_EQ(engine_.RecoverFile(&folder->record, target, CountSeparators(target) - 2), 0);
  for (const char* name : {"_EPORT.TXT", "_EPORT(1).TXT", "_EPORT(2).TXT", ".._.._escape.txt"})
    EXPECT_EQ(test::ReadFileBytes(target + "/" + name).size(), 4u) << name;
  EXPECT_TRUE(test::ReadFileBytes(out.path() + "/escape.txt").empty());
}

TEST_F(DeepFatSynthetic, HostileDirectorySectorsEndTheWalkWithoutHarm) {
  Volume v(300);
  BuildLostFolders(v);
  // A ".." loop: X (30) says Y (31) is its parent and Y says X.
  v.PutDirStart(SectorOf(30), 30, 31);
  v.Put83(SectorOf(30), 2, "X       TXT", 0x20, 80, 10);
  v.PutDirStart(SectorOf(31), 31, 30);
  v.Put83(SectorOf(31), 2, "Y       TXT", 0x20, 81, 10);
  // Cluster numbers far past the volume, live and deleted (the trial must stop at the end).
  v.PutDirStart(SectorOf(32), 32, 10);
  v.Put83(SectorOf(32), 2, "HUGE    JPG", 0x20, 0x0FFFFFF0, 4000000000u);
  v.Put83(SectorOf(32), 3, "GONE    JPG", 0x20, 0xFFF0, 1000, true);
  v.Put83(SectorOf(32), 4, "FAR        ", 0x10, 0x0FFFFFF7, 0);
  v.Put83(SectorOf(32), 5, "FARDEL     ", 0x10, 0xFFF7, 0, true);
  // Twenty long-name parts in a row across two sectors.
  v.PutDirStart(SectorOf(33), 33, 10);
  // Deleted parts are not held to the sequence limit, so all twenty pass on their own.
  std::u16string longest(20 * 13, u'x');
  const int after = v.PutLongName(SectorOf(33), 2, longest, "LONGEST TXT");
  ASSERT_EQ(after, 22);
  for (int i = 2; i < after; ++i) v.Entry(SectorOf(33) + uint64_t(i / 16), i % 16)[0] = 0xE5;
  v.Put83(SectorOf(33) + 1, 6, "LONGEST TXT", 0x20, 90, 10, true);
  Open(v);
  ASSERT_EQ(test::DeepFatSweep(engine_), 0);
  auto tree = test::DeepFatTree(engine_);
  SCOPED_TRACE(test::DescribeTree(tree));
  EXPECT_NE(test::FindItem(tree, "LostFolder10/A.TXT"), nullptr);
  const test::FoundItem* huge = nullptr;
  for (const auto& item : tree)
    if (item.record.Name() == "HUGE.JPG") huge = &item;
  ASSERT_NE(huge, nullptr);
  // Recovering a file whose clusters lie past the source fails cleanly.
  test::TempDir out;
  EXPECT_EQ(engine_.RecoverFile(&huge->record, out.File("huge.jpg"), 0), 30);
  for (const auto& item : tree) EXPECT_EQ(item.path.find("ongest"), std::string::npos);
  EXPECT_NE(test::FindItem(tree, "LostFolder10/LostFolder33"), nullptr);
  // The loop's folders are found, and so are their files.
  int loopFiles = 0;
  for (const auto& item : tree) loopFiles += item.record.Name() == "X.TXT" || item.record.Name() == "Y.TXT";
  EXPECT_LE(loopFiles, 2);
}

TEST_F(DeepFatSynthetic, RandomSectorsFedDirectlyDoNotHurt) {
  Volume v(400);
  BuildLostFolders(v);
  Open(v);
  ASSERT_EQ(engine_.BeginProScan(""), 0);
  ASSERT_EQ(engine_.ReadBootArea(), 0);
  std::mt19937 random(8);
  std::vector<uint8_t> sector(kSector);
  for (int round = 0; round < 3000; ++round) {
    for (auto& b : sector) b = uint8_t(random());
    // Half of them look like the start of a directory, to reach the anchor and climb paths.
    if (round % 2) {
      std::memcpy(sector.data(), v.Sector(SectorOf(10)), 64);
      StoreLe16(&sector[26], uint16_t(random()));
      StoreLe16(&sector[58], uint16_t(random()));
      ASSERT_EQ(engine_.TakeSubdirectoryStart(sector.data(), random() % 400), 0);
    } else {
      ASSERT_EQ(engine_.TakeDirectorySector(sector.data(), random() % 400), 0);
    }
  }
  EXPECT_EQ(engine_.FinishProScan(), 0);
  std::vector<FoundFileRecord> top;
  EXPECT_EQ(engine_.ListChildren(nullptr, 0, top), 0);
  EXPECT_EQ(engine_.ListChildren(nullptr, 1, top), 87);
}

TEST_F(DeepFatSynthetic, NothingBeforeBeginAndTheSlotsThatDoNothing) {
  std::vector<FoundFileRecord> out;
  EXPECT_EQ(engine_.ListChildren(nullptr, 0, out), 0);
  EXPECT_EQ(engine_.GetFoundCount(), 0u);
  EXPECT_EQ(engine_.Scan(nullptr), 0);
  EXPECT_EQ(engine_.BuildUsageBitmap(), 0);
  uint64_t start = 5, length = 9;
  EXPECT_EQ(engine_.NextUnusedRange(start, length), 0);
  EXPECT_EQ(engine_.RecoverFile(nullptr, "/tmp/x", 0), 87);
  std::string path;
  int size = 0;
  EXPECT_EQ(engine_.ReadForPreview(nullptr, path, nullptr, size, nullptr, nullptr), 87);
  EXPECT_EQ(engine_.TakeDirectorySector(nullptr, 0), 87);
}

TEST_F(DeepFatSynthetic, ClusterSizeAboveTheLimitFailsRecovery) {
  Volume v(200);
  Open(v);
  FoundFileRecord r;
  r.SetName("big.bin");
  r.SetClusterSize(CProfessionalFatRecovery::kMaxClusterBytes + 512);
  r.SetFileSize(10);
  r.SetObjectId(2);
  test::TempDir out;
  EXPECT_EQ(engine_.RecoverFile(&r, out.File("big.bin"), 0), 29);
  r.SetClusterSize(512);
  r.SetFileSize(0);
  EXPECT_EQ(engine_.RecoverFile(&r, out.File("empty.bin"), 0), 0);
  EXPECT_TRUE(test::ReadFileBytes(out.File("empty.bin")).empty());
}

}  // namespace
}  // namespace salvora

namespace salvora {
namespace {

// Fills the rest of a folder's one-sector cluster with files, so it ends without an end mark.
void FillFolder(Volume& v, uint32_t cluster, char tag) {
  for (int i = 2; i < 16; ++i) {
    char name[12];
    std::snprintf(name, sizeof name, "%c%02d     TXT", tag, i);
    v.Put83(SectorOf(cluster), i, name, 0x20, 60 + uint32_t(i), 10);
  }
}

// A directory cluster without "." and ".." joins the folder whose full cluster is the directory
// sector met just before it, with data between; never a folder that ended, nor one further back.
TEST_F(DeepFatSynthetic, ContinuationJoinsOnlyTheFullFolderRightBeforeIt) {
  Volume v(200);
  v.PutDirStart(SectorOf(10), 10, 0);
  FillFolder(v, 10, 'A');
  v.PutDirStart(SectorOf(11), 11, 0);
  v.Put83(SectorOf(11), 2, "B       TXT", 0x20, 50, 10);
  v.Put83(SectorOf(12), 0, "X       TXT", 0x20, 51, 10);
  v.PutDirStart(SectorOf(20), 20, 0);
  FillFolder(v, 20, 'C');
  v.Put83(SectorOf(23), 0, "Y       TXT", 0x20, 52, 10);
  Open(v);
  ASSERT_EQ(test::DeepFatSweep(engine_), 0);
  auto tree = test::DeepFatTree(engine_);
  SCOPED_TRACE(test::DescribeTree(tree));
  EXPECT_NE(test::FindItem(tree, "LostFolder20/Y.TXT"), nullptr);
  EXPECT_NE(test::FindItem(tree, "LostFolder12/X.TXT"), nullptr);
  EXPECT_EQ(test::FindItem(tree, "LostFolder10/X.TXT"), nullptr);
}

}  // namespace
}  // namespace salvora
