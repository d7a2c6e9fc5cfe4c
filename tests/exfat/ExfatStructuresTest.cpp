// The exFAT structures on hand-made bytes: a boot region and its checksum, entry sets live and
// deleted (checksum, name, hash, times), the allocation table's chains and the bitmap.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "exfat/ExfatAllocationBitmap.h"
#include "exfat/ExfatBootSector.h"
#include "exfat/ExfatEntrySet.h"
#include "exfat/ExfatTable.h"
#include "exfat/ExfatTime.h"
#include "platform/ByteView.h"
#include "platform/Clock.h"
#include "platform/RawSource.h"

namespace salvora {
namespace {

// A 1 MiB volume: 512-byte sectors, 4 KiB clusters, FAT at 24, heap at 32.
std::vector<uint8_t> BootRegion() {
  std::vector<uint8_t> region(12 * 512, 0);
  uint8_t* b = region.data();
  b[0] = 0xEB, b[1] = 0x76, b[2] = 0x90;
  std::memcpy(b + 3, "EXFAT   ", 8);
  StoreLe64(b + 72, 2048);
  StoreLe32(b + 80, 24);
  StoreLe32(b + 84, 8);
  StoreLe32(b + 88, 32);
  StoreLe32(b + 92, 252);
  StoreLe32(b + 96, 4);
  b[108] = 9, b[109] = 3, b[110] = 1;
  b[510] = 0x55, b[511] = 0xAA;
  const uint32_t sum = ExfatBootSector::RegionChecksum(ByteView(region.data(), region.size()), 512);
  for (size_t i = 11 * 512; i < 12 * 512; i += 4) StoreLe32(b + i, sum);
  return region;
}

TEST(ExfatBootSectorTest, AcceptsAVolumeAndItsChecksumButNotCorruptions) {
  std::vector<uint8_t> region = BootRegion();
  const ByteView view(region.data(), region.size());
  const ExfatBootSector boot(view);
  ASSERT_TRUE(boot.IsExfat());
  EXPECT_EQ(boot.BytesPerCluster(), 4096u);
  EXPECT_EQ(boot.ClusterSector(4), 32u + 2 * 8);
  EXPECT_TRUE(ExfatBootSector::RegionChecksumMatches(view, 512));
  // Flags and percent in use change while mounted and stay out of the checksum.
  region[106] = 1, region[112] = 50;
  EXPECT_TRUE(ExfatBootSector::RegionChecksumMatches(view, 512));
  region[200] ^= 1;
  EXPECT_FALSE(ExfatBootSector::RegionChecksumMatches(view, 512));

  for (auto [offset, value] : {std::pair{20, 1}, {109, 20}, {92, 0}, {96, 300}, {110, 3}}) {
    std::vector<uint8_t> bad = BootRegion();
    bad[offset] = uint8_t(value);
    if (offset == 92) StoreLe32(&bad[92], 100000);
    if (offset == 96) StoreLe32(&bad[96], 300);
    EXPECT_FALSE(ExfatBootSector(ByteView(bad.data(), bad.size())).IsExfat()) << offset;
  }
  EXPECT_FALSE(ExfatBootSector(ByteView(region.data(), 100)).IsExfat());
}

// An entry set for name ("IMG_0001.JPG" style), with sizes, first cluster and flags.
std::vector<uint8_t> EntrySet(const std::u16string& name, bool deleted, uint8_t flags = 0x03) {
  const size_t nameEntries = (name.size() + 14) / 15;
  std::vector<uint8_t> set((2 + nameEntries) * 32, 0);
  set[0] = 0x85, set[1] = uint8_t(1 + nameEntries);
  StoreLe16(&set[4], 0x20);
  StoreLe32(&set[8], (45u << 25) | (6u << 21) | (17u << 16) | (10u << 11) | (30u << 5) | 7u);
  set[20] = 150;   // 1.5 s
  set[22] = 0x80 | 8;  // UTC+2
  StoreLe32(&set[12], set[8] | (set[9] << 8) | (set[10] << 16) | (uint32_t(set[11]) << 24));
  set[32] = 0xC0, set[33] = flags, set[35] = uint8_t(name.size());
  StoreLe16(&set[36], ExfatNameHash(name, ExfatUpcaseTable()));
  StoreLe64(&set[40], 5000);
  StoreLe32(&set[52], 7);
  StoreLe64(&set[56], 8192);
  for (size_t i = 0; i < nameEntries; ++i) {
    set[64 + 32 * i] = 0xC1;
    for (size_t u = 0; u < 15 && 15 * i + u < name.size(); ++u)
      StoreLe16(&set[64 + 32 * i + 2 + 2 * u], name[15 * i + u]);
  }
  StoreLe16(&set[2], ExfatEntrySet::Checksum(ByteView(set.data(), set.size()), 2 + nameEntries, false));
  if (deleted)
    for (size_t i = 0; i < set.size(); i += 32) set[i] &= 0x7F;
  return set;
}

TEST(ExfatEntrySetTest, ReadsLiveAndDeletedSetsWithNamesSizesAndTimes) {
  const std::u16string name = u"Holiday photo from the beach – Ärmelkanal.jpg";
  for (bool deleted : {false, true}) {
    std::vector<uint8_t> bytes = EntrySet(name, deleted);
    bytes.resize(bytes.size() + 64, 0xAA);  // whatever follows is not part of the set
    ExfatEntrySet set;
    ASSERT_EQ(ExfatEntrySet::Parse(ByteView(bytes.data(), bytes.size()), ExfatUpcaseTable(), set),
              ExfatEntrySet::Status::Ok);
    EXPECT_EQ(set.IsDeleted(), deleted);
    EXPECT_EQ(set.EntryCount(), 2u + 3);  // 45 units: three name entries
    EXPECT_EQ(set.Name(), "Holiday photo from the beach – Ärmelkanal.jpg");
    EXPECT_TRUE(set.NameHashMatches());
    EXPECT_EQ(set.ValidDataLength(), 5000u);
    EXPECT_EQ(set.DataLength(), 8192u);
    EXPECT_EQ(set.FirstCluster(), 7u);
    EXPECT_TRUE(set.NoFatChain());
    EXPECT_FALSE(set.IsDirectory());
    // 2025-06-17 10:30:14 + 1.5 s local at UTC+2 is 08:30:15.5 UTC.
    EXPECT_EQ(set.CreationTime(), platform::UnixToFileTime(1750149015) + 5'000'000);
  }
}

TEST(ExfatEntrySetTest, RefusesDamagedSetsAndFlagsAWrongNameHash) {
  const std::u16string name = u"DSC01234.ARW";
  const ExfatUpcaseTable upcase;
  ExfatEntrySet set;
  auto parse = [&](const std::vector<uint8_t>& b) {
    return ExfatEntrySet::Parse(ByteView(b.data(), b.size()), upcase, set);
  };
  std::vector<uint8_t> good = EntrySet(name, true);
  std::vector<uint8_t> b = good;
  b[60] ^= 1;
  EXPECT_EQ(parse(b), ExfatEntrySet::Status::BadChecksum);
  b = good, b[32] |= 0x80;
  EXPECT_EQ(parse(b), ExfatEntrySet::Status::MixedState);
  b = good, b.resize(80);
  EXPECT_EQ(parse(b), ExfatEntrySet::Status::Truncated);
  b = good, b[1] = 1;
  EXPECT_EQ(parse(b), ExfatEntrySet::Status::BadCount);
  b = good, b[0] = 0x03;
  EXPECT_EQ(parse(b), ExfatEntrySet::Status::NotFileEntry);
  b = good, b[1] = 40;  // more secondaries than given: never read past the buffer
  EXPECT_EQ(parse(b), ExfatEntrySet::Status::Truncated);

  // A hash made through another table's mapping is reported, not refused.
  b = good;
  StoreLe16(&b[36], uint16_t(ExfatNameHash(name, upcase) ^ 0x100));
  StoreLe16(&b[2], ExfatEntrySet::Checksum(ByteView(b.data(), b.size()), 3, true));
  ASSERT_EQ(parse(b), ExfatEntrySet::Status::Ok);
  EXPECT_FALSE(set.NameHashMatches());
  // The hash is case-blind through the table, and a loaded table replaces the default.
  EXPECT_EQ(ExfatNameHash(u"dsc01234.arw", upcase), ExfatNameHash(name, upcase));
  std::vector<uint8_t> identity{0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
  StoreLe16(&identity[2], 0xFFFF);
  ExfatUpcaseTable plain;
  ASSERT_TRUE(plain.Load(ByteView(identity.data(), 4)));
  EXPECT_EQ(plain.Upcase(u'a'), u'a');
  EXPECT_NE(ExfatNameHash(u"dsc01234.arw", plain), ExfatNameHash(name, plain));
}

TEST(ExfatTimeTest, AppliesIncrementAndSignedOffset) {
  const uint32_t ts = (20u << 25) | (1u << 21) | (1u << 16);  // 2000-01-01 00:00:00
  const uint64_t base = platform::UnixToFileTime(946684800);
  EXPECT_EQ(ExfatTimeToFileTime(ts, 0, 0), base);
  EXPECT_EQ(ExfatTimeToFileTime(ts, 199, 0), base + 19'900'000);
  EXPECT_EQ(ExfatTimeToFileTime(ts, 0, 0x80 | 0x7C), base + 3600ull * 10'000'000);  // UTC-1
  EXPECT_EQ(ExfatTimeToFileTime(ts, 0, 0x7C), base);  // offset not valid: as it stands
  EXPECT_EQ(ExfatTimeToFileTime(0, 0, 0), 0u);
}

TEST(ExfatTableTest, FollowsChainsAndEndsLoopsAndBrokenLinks) {
  // FAT of 64 entries in one sector pair: 2->3->7->end, 10->11->10 (loop), 20->0 (free).
  std::vector<uint8_t> fat(1024, 0);
  auto link = [&](uint32_t c, uint32_t next) { StoreLe32(&fat[4 * c], next); };
  link(2, 3), link(3, 7), link(7, ExfatTable::kEndOfChain), link(10, 11), link(11, 10);
  link(30, 999);
  SectorReader reader;
  reader.Attach(std::make_unique<platform::MemorySource>(fat), 2);
  ExfatTable table;
  ASSERT_EQ(table.Load(&reader, 0, 512, 2, 60), 0);
  std::vector<ExfatRun> runs;
  EXPECT_EQ(table.Chain(2, 100, runs), ExfatTable::ChainEnd::EndMark);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].firstCluster, 2u);
  EXPECT_EQ(runs[0].clusterCount, 2u);
  EXPECT_EQ(runs[1].firstCluster, 7u);
  EXPECT_EQ(table.Chain(10, UINT64_MAX, runs), ExfatTable::ChainEnd::Limit);
  EXPECT_EQ(table.Chain(20, 100, runs), ExfatTable::ChainEnd::Free);
  EXPECT_EQ(table.Chain(30, 100, runs), ExfatTable::ChainEnd::OutOfHeap);
  EXPECT_EQ(table.Chain(1, 100, runs), ExfatTable::ChainEnd::OutOfHeap);
}

TEST(ExfatAllocationBitmapTest, FindsFreeClustersAndKeepsUnknownOnesInUse) {
  const uint8_t bytes[] = {0xFF, 0x0F, 0x00};  // clusters 2-13 used, 14-25 free
  ExfatAllocationBitmap bitmap;
  bitmap.Assign(ByteView(bytes, sizeof bytes), 30);  // clusters 26-31 beyond the bytes
  EXPECT_TRUE(bitmap.IsAllocated(13));
  EXPECT_TRUE(bitmap.IsFree(14));
  EXPECT_TRUE(bitmap.IsAllocated(26));
  EXPECT_TRUE(bitmap.IsAllocated(1));
  EXPECT_TRUE(bitmap.IsAllocated(40));
  EXPECT_EQ(bitmap.NextFree(2), 14u);
  EXPECT_EQ(bitmap.FreeClusters(), 12u);
  bitmap.MarkAllocated(14);
  EXPECT_EQ(bitmap.NextFree(2), 15u);
  EXPECT_EQ(bitmap.NextFree(26), 0u);
}

}  // namespace
}  // namespace salvora
