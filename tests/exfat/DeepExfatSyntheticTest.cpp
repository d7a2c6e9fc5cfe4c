// The deep exFAT engine on a hand-made volume, fed sector by sector as the sweep does at the end
// of its reads (nothing after the sector in memory): sets that run over a sector's end, a folder
// whose directory goes on in its next cluster, folders that are each other's parent, a folder
// whose entry is gone, and the backup boot sector.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "exfat/CProfessionalExfatRecovery.h"
#include "exfat/ExfatBootSector.h"
#include "exfat/ExfatEntrySet.h"
#include "exfat/ExfatSweptSector.h"
#include "platform/ByteView.h"
#include "platform/RawSource.h"
#include "scan/ScanLogCatalogue.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

constexpr uint32_t kHeap = 32, kPerCluster = 8;

uint64_t ClusterSector(uint32_t c) { return kHeap + uint64_t(c - 2) * kPerCluster; }

// A 1 MiB volume: 512-byte sectors, 4 KiB clusters, heap at sector 32, root in cluster 4.
class Volume {
 public:
  Volume() : bytes_(1 << 20, 0) {
    uint8_t* b = bytes_.data();
    b[0] = 0xEB, b[1] = 0x76, b[2] = 0x90;
    std::memcpy(b + 3, "EXFAT   ", 8);
    StoreLe64(b + 72, 2048);
    StoreLe32(b + 80, 24);
    StoreLe32(b + 84, 8);
    StoreLe32(b + 88, kHeap);
    StoreLe32(b + 92, 252);
    StoreLe32(b + 96, 4);
    b[108] = 9, b[109] = 3, b[110] = 1;
    b[510] = 0x55, b[511] = 0xAA;
    std::memcpy(b + 12 * 512, b, 512);  // the backup boot sector
  }
  // Writes an entry set at byte offset `at`; returns the offset after it.
  size_t Set(size_t at, const std::u16string& name, bool folder, uint32_t cluster, uint64_t length,
             bool deleted = false) {
    const size_t names = (name.size() + 14) / 15;
    uint8_t* e = &bytes_[at];
    std::memset(e, 0, (2 + names) * 32);
    e[0] = 0x85, e[1] = uint8_t(1 + names);
    StoreLe16(e + 4, folder ? 0x10 : 0x20);
    e[32] = 0xC0, e[33] = 0x03, e[35] = uint8_t(name.size());
    StoreLe16(e + 36, ExfatNameHash(name, ExfatUpcaseTable()));
    StoreLe64(e + 40, length);
    StoreLe32(e + 52, cluster);
    StoreLe64(e + 56, length);
    for (size_t i = 0; i < name.size(); ++i) {
      e[64 + 32 * (i / 15)] = 0xC1;
      StoreLe16(e + 64 + 32 * (i / 15) + 2 + 2 * (i % 15), name[i]);
    }
    StoreLe16(e + 2, ExfatEntrySet::Checksum(ByteView(e, (2 + names) * 32), 2 + names, false));
    if (deleted)
      for (size_t i = 0; i < 2 + names; ++i) e[32 * i] &= 0x7F;
    return at + (2 + names) * 32;
  }
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

class DeepExfatSynthetic : public ::testing::Test {
 protected:
  void SetUp() override { ScanLogCatalogue::Instance().NewSession(); }
  // Offers every sector the sweep's test takes, each alone, then settles the tree.
  void Sweep(Volume& v) {
    ASSERT_EQ(engine_.OpenSource(std::make_unique<platform::MemorySource>(v.bytes()), u'X'), 0);
    ASSERT_EQ(engine_.BeginSweep(""), 0);
    for (uint64_t s = 0; s < v.bytes().size() / 512; ++s) {
      const uint8_t* sector = v.bytes().data() + s * 512;
      if (!IsExfatSweptSector(ByteView(sector, 512), 512)) continue;
      uint64_t skip = 1;
      engine_.OfferSector({CProfessionalExfatRecovery::kSweptSector, sector, 512, s}, {}, skip);
    }
    ASSERT_EQ(engine_.FinishSweep(), 0);
  }
  // name -> record, for the children of folder (the top when null).
  std::map<std::string, FoundFileRecord> Children(const FoundFileRecord* folder, int depth) {
    std::vector<FoundFileRecord> list;
    engine_.ListChildren(folder, depth, list);
    std::map<std::string, FoundFileRecord> named;
    for (const auto& r : list) named.emplace(std::string(r.Name()), r);
    return named;
  }
  test::ScopedDataDir data_;
  CProfessionalExfatRecovery engine_;
};

TEST_F(DeepExfatSynthetic, RebuildsTheTreeFromSectorsAlone) {
  Volume v;
  const std::u16string longName = u"A name long enough to need four name entries.bin";
  // The root (its bitmap entry marks it) holds Top; Top holds folder A, whose directory is two
  // clusters long, and a long-named file whose set runs over the end of Top's first sector.
  size_t at = ClusterSector(4) * 512;
  v.bytes()[at] = 0x81;
  v.Set(at + 32, u"Top", true, 6, 4096);
  at = v.Set(ClusterSector(6) * 512, u"A", true, 8, 8192);
  for (char16_t n : std::u16string_view(u"123")) at = v.Set(at, std::u16string(u"f") + n, false, 60 + n, 10);
  v.Set(at, longName, false, 40, 5000);  // entries 12 to 17
  v.Set(ClusterSector(8) * 512, u"first.txt", false, 41, 10);
  v.Set(ClusterSector(9) * 512, u"in the second cluster.txt", false, 42, 10, true);
  // Two deleted folders naming each other, and nothing else above them.
  v.Set(ClusterSector(20) * 512, u"LoopB", true, 22, 4096, true);
  v.Set(ClusterSector(22) * 512, u"LoopA", true, 20, 4096, true);
  // A directory whose folder entry was lost.
  v.Set(ClusterSector(30) * 512, u"orphan.bin", false, 50, 3000);
  Sweep(v);

  ASSERT_EQ(engine_.Layouts().size(), 1u) << "the backup boot sector is the same volume";
  auto top = Children(nullptr, 0);
  ASSERT_EQ(top.size(), 3u);
  ASSERT_TRUE(top.count("Top") && top.count("LoopA") && top.count("LostFolder30"));
  auto inTop = Children(&top["Top"], 1);
  ASSERT_EQ(inTop.size(), 5u);
  const FoundFileRecord& longFile = inTop[std::string(longName.begin(), longName.end())];
  EXPECT_EQ(longFile.FileSize(), 5000u);
  EXPECT_EQ(longFile.ObjectId(), 40u);
  EXPECT_EQ(longFile.EntrySector(), ClusterSector(6));
  auto inA = Children(&inTop["A"], 2);
  ASSERT_EQ(inA.size(), 2u);
  EXPECT_TRUE(inA.count("first.txt"));
  EXPECT_TRUE(inA["in the second cluster.txt"].IsDeleted());
  auto inLoop = Children(&top["LoopA"], 1);
  ASSERT_EQ(inLoop.size(), 1u);
  EXPECT_TRUE(inLoop.count("LoopB"));
  EXPECT_EQ(Children(&top["LostFolder30"], 1).count("orphan.bin"), 1u);
  int files = 0;
  ASSERT_EQ(engine_.CountFiles(nullptr, 0, files), 0);
  EXPECT_EQ(files, 7);
}

TEST(ExfatSweptSectorTest, TakesDirectoriesAndBootSectorsButNotOtherSectors) {
  Volume v;
  const size_t dir = ClusterSector(6) * 512;
  v.Set(dir, u"IMG_0001.JPG", false, 9, 100);
  const ByteView sector(v.bytes().data() + dir, 512);
  EXPECT_TRUE(IsExfatSweptSector(sector, 512));
  EXPECT_TRUE(IsExfatSweptSector(ByteView(v.bytes().data(), 512), 512));
  // A broken checksum, a type no directory holds after the set, an empty sector.
  v.bytes()[dir + 70] ^= 1;
  EXPECT_FALSE(IsExfatDirectorySector(sector, 512));
  v.bytes()[dir + 70] ^= 1;
  v.bytes()[dir + 96] = 0x99;
  EXPECT_FALSE(IsExfatDirectorySector(sector, 512));
  EXPECT_FALSE(IsExfatSweptSector(ByteView(v.bytes().data() + 100 * 512, 512), 512));
}

}  // namespace
}  // namespace salvora
