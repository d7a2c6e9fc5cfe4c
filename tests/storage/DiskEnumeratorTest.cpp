#include <gtest/gtest.h>

#include <filesystem>

#include "platform/FreeSpace.h"
#include "storage/DiskEnumerator.h"
#include "support/TestSupport.h"
#include "storage/FakeBlockTree.h"

namespace salvora {
namespace {

using test::FakeBlockTree;
using Kind = VolumeEntry::Kind;

std::vector<VolumeEntry> ListOf(DiskEnumerator& e) {
  std::vector<VolumeEntry> list;
  e.ListAll(list);
  return list;
}

std::vector<VolumeEntry> OnDisk(const std::vector<VolumeEntry>& all, uint32_t disk) {
  std::vector<VolumeEntry> out;
  for (const auto& e : all)
    if (e.diskNumber == disk) out.push_back(e);
  return out;
}

void ExpectEntry(const VolumeEntry& e, Kind kind, uint64_t start, uint64_t length, int number, uint8_t type) {
  EXPECT_EQ(int(e.kind), int(kind)) << "entry at " << e.start;
  EXPECT_EQ(e.start, start);
  EXPECT_EQ(e.length, length) << "entry at " << e.start;
  EXPECT_EQ(e.Number(), number) << "entry at " << e.start;
  EXPECT_EQ(e.type, type) << "entry at " << e.start;
}

class DiskEnumeratorTree : public ::testing::Test {
 protected:
  FakeBlockTree tree;
};

TEST_F(DiskEnumeratorTree, GapsAreStretchesLongerThanOneCylinder) {
  // Volumes at 63, then exactly one cylinder (16,065 sectors) free, then one sector more.
  tree.AddDisk("sdb", 2000000, 16);
  tree.WriteMbr("sdb", {{63, 100000, 0x83}, {116128, 100000, 0x83}, {232194, 100000, 0x83}});
  DiskEnumerator enumerator(tree.Roots());
  ASSERT_EQ(enumerator.Refresh(), 1);
  auto list = ListOf(enumerator);
  ASSERT_EQ(list.size(), 5u);
  ExpectEntry(list[0], Kind::Volume, 63, 100000, 1, 0x83);
  ExpectEntry(list[1], Kind::Volume, 116128, 100000, 2, 0x83);
  ExpectEntry(list[2], Kind::Gap, 216128, 16066, 3, 0);
  ExpectEntry(list[3], Kind::Volume, 232194, 100000, 4, 0x83);
  // The trailing gap runs to the real end of the disk, partial cylinder included.
  ExpectEntry(list[4], Kind::Gap, 332194, 2000000 - 332194, 5, 0);
  EXPECT_EQ(list[2].totalBytes, 16066u * 512);
  EXPECT_EQ(list[2].freeBytes, list[2].totalBytes);
  EXPECT_EQ(list[2].usedBytes, 0u);
  EXPECT_EQ(list[0].partitionNumber, 1u);
  EXPECT_EQ(list[0].diskPath, tree.dev() + "/sdb");
  EXPECT_TRUE(list[0].devicePath.empty()) << "no node was made for it";

  VolumeEntry first;
  DiskEnumerator again(tree.Roots());
  again.Refresh();
  ASSERT_TRUE(again.NextEntry(first));
  EXPECT_EQ(first.start, 63u);
  int count = 1;
  for (VolumeEntry e; again.NextEntry(e);) ++count;
  EXPECT_EQ(count, 5);
}

TEST_F(DiskEnumeratorTree, VolumeAt2048GivesNoLeadingGapAndBlankDiskIsWhole) {
  tree.AddDisk("sdb", 100000, 16, /*removable=*/true);
  tree.WriteMbr("sdb", {{2048, 50000, 0x0C}});
  tree.AddKernelPartition("sdb", 1, 2048, 50000, 17);
  // A partition only the kernel lists, with no type and no file system: not a volume; its
  // space falls into the trailing gap.
  tree.AddKernelPartition("sdb", 2, 60000, 20000, 18, /*withNode=*/false);
  std::string mount = tree.Folder("media/card");
  tree.AddMount(17, mount, "vfat", tree.dev() + "/sdb1");
  tree.AddDisk("sdc", 50000, 32, false, "usb");
  tree.AddDisk("sdd", 40000, 48);

  DiskEnumerator enumerator(tree.Roots());
  ASSERT_EQ(enumerator.Refresh(), 1);
  auto list = ListOf(enumerator);
  auto sdb = OnDisk(list, 0);
  ASSERT_EQ(sdb.size(), 2u);
  ExpectEntry(sdb[0], Kind::Volume, 2048, 50000, 1, 0x0C);
  ExpectEntry(sdb[1], Kind::Gap, 52048, 100000 - 52048, 2, 0);
  EXPECT_EQ(sdb[0].devicePath, tree.dev() + "/sdb1");
  EXPECT_EQ(sdb[0].rootPath, mount + "/");
  platform::SpaceInfo space;
  ASSERT_EQ(platform::QuerySpace(mount, space), 0);
  EXPECT_EQ(sdb[0].totalBytes, space.totalBytes);
  EXPECT_EQ(sdb[0].usedBytes, sdb[0].totalBytes - sdb[0].freeBytes);

  auto sdc = OnDisk(list, 1);
  ASSERT_EQ(sdc.size(), 1u);
  ExpectEntry(sdc[0], Kind::WholeDisk, 0, 50000, 3, 0);
  EXPECT_EQ(sdc[0].totalBytes, 50000u * 512);

  EXPECT_TRUE(enumerator.IsRemovableDisk(0));   // removable flag
  EXPECT_TRUE(enumerator.IsRemovableDisk(1));   // on a USB bus
  EXPECT_FALSE(enumerator.IsRemovableDisk(2));
  EXPECT_FALSE(enumerator.IsRemovableDisk(7));
  uint64_t bytes = 0;
  EXPECT_EQ(enumerator.QueryDiskLength(2, bytes), 0);
  EXPECT_EQ(bytes, 40000u * 512);
}

TEST_F(DiskEnumeratorTree, FileSystemsNameAndTypeTheVolumes) {
  tree.AddImageDisk("sdb", test::FixturePath("mbr-disk.img"), 16);
  tree.AddKernelPartition("sdb", 1, 2048, 131072, 17);
  tree.AddKernelPartition("sdb", 2, 133120, 96256, 18, /*withNode=*/false);
  DiskEnumerator enumerator(tree.Roots());
  ASSERT_EQ(enumerator.Refresh(), 1);
  auto list = ListOf(enumerator);
  ASSERT_EQ(list.size(), 2u);
  ExpectEntry(list[0], Kind::Volume, 2048, 131072, 1, 0x0B);
  EXPECT_EQ(list[0].fileSystemName, "FAT32");
  EXPECT_EQ(list[0].label, "PART1");
  ExpectEntry(list[1], Kind::Volume, 133120, 96256, 2, 0x07);
  EXPECT_EQ(list[1].fileSystemName, "NTFS");
  EXPECT_EQ(list[1].label, "PART2");
  EXPECT_EQ(list[0].devicePath, tree.dev() + "/sdb1");
  EXPECT_TRUE(list[1].devicePath.empty()) << "the kernel made no node for it";
  // Not mounted: the capacity is the partition's and nothing is known free.
  EXPECT_EQ(list[1].totalBytes, 96256u * 512);
  EXPECT_EQ(list[1].freeBytes, 0u);
  EXPECT_TRUE(list[1].rootPath.empty());
}

TEST_F(DiskEnumeratorTree, TypelessVolumeIsNotListedAndLeavesAGap) {
  if (!test::HaveTool("sfdisk")) GTEST_SKIP() << "sfdisk is not installed";
  tree.AddDisk("sdb", 200000, 16);
  std::string disk = tree.dev() + "/sdb";
  ASSERT_EQ(test::RunCommand("printf 'label: gpt\\nstart=2048, size=40000\\nstart=42048, size=65536\\n' | "
                             "sfdisk -q '" + disk + "' >/dev/null 2>&1"), 0);
  tree.Place("sdb", 42048, test::FixturePath("fat32.img"));
  DiskEnumerator enumerator(tree.Roots());
  ASSERT_EQ(enumerator.Refresh(), 1);
  auto list = ListOf(enumerator);
  ASSERT_EQ(list.size(), 3u);
  // GPT has no type byte and the first partition no file system: its stretch is a gap.
  ExpectEntry(list[0], Kind::Gap, 63, 42048 - 63, 1, 0);
  ExpectEntry(list[1], Kind::Volume, 42048, 65536, 2, 0x0B);
  EXPECT_EQ(list[1].label, "FAT32VOL");
  ExpectEntry(list[2], Kind::Gap, 42048 + 65536, 200000 - 42048 - 65536, 3, 0);
}

TEST_F(DiskEnumeratorTree, FindRemovedReportsVanishedDisksAndMovedVolumes) {
  tree.AddDisk("sda", 200000, 0);
  tree.WriteMbr("sda", {{2048, 50000, 0x07}, {100000, 100000, 0x0B}});
  tree.AddDisk("sdb", 50000, 16);
  DiskEnumerator enumerator(tree.Roots());
  enumerator.Refresh();
  auto before = ListOf(enumerator);
  ASSERT_EQ(before.size(), 4u);  // two volumes, the gap between them, the blank disk

  tree.WriteMbr("sda", {{2048, 50000, 0x07}, {120000, 80000, 0x0B}});
  tree.RemoveDisk("sdb");
  std::vector<VolumeEntry> removed;
  enumerator.FindRemoved(before, removed);
  ASSERT_EQ(removed.size(), 2u);
  EXPECT_EQ(removed[0].start, 100000u);
  EXPECT_EQ(removed[0].diskNumber, 0u);
  EXPECT_EQ(int(removed[1].kind), int(Kind::WholeDisk));
  EXPECT_EQ(removed[1].diskNumber, 1u);
}

TEST_F(DiskEnumeratorTree, ArrivingDiskDoesNotRenumberListedEntries) {
  tree.AddDisk("sdb", 200000, 16);
  tree.WriteMbr("sdb", {{2048, 100000, 0x07}, {102048, 97952, 0x0B}});
  EntryNumbering numbering;
  DiskEnumerator first(tree.Roots(), &numbering);
  first.Refresh();
  auto before = ListOf(first);
  ASSERT_EQ(before.size(), 2u);
  EXPECT_EQ(before[0].Number(), 1);
  EXPECT_EQ(before[1].Number(), 2);

  // sda sorts before sdb, so it becomes disk 0; the listed volumes keep 1 and 2.
  tree.AddDisk("sda", 100000, 0);
  tree.WriteMbr("sda", {{2048, 97952, 0x0C}});
  DiskEnumerator second(tree.Roots(), &numbering);
  second.Refresh();
  auto after = ListOf(second);
  ASSERT_EQ(after.size(), 3u);
  EXPECT_EQ(after[0].diskPath, tree.dev() + "/sda");
  EXPECT_EQ(after[0].Number(), 3);
  EXPECT_EQ(after[1].Number(), 1);
  EXPECT_EQ(after[2].Number(), 2);

  // A fresh numbering counts positions again.
  DiskEnumerator fresh(tree.Roots());
  fresh.Refresh();
  auto positional = ListOf(fresh);
  EXPECT_EQ(positional[0].Number(), 1);
  EXPECT_EQ(positional[2].Number(), 3);
}

TEST_F(DiskEnumeratorTree, HostileTablesNeverGiveOverlappingOrOversizedEntries) {
  tree.AddDisk("sdb", 300000, 16);
  // The second entry lies inside the first; the third claims far more than the disk holds.
  tree.WriteMbr("sdb", {{2048, 200000, 0x07}, {50000, 1000, 0x07}, {250000, 0xFFFFFFF0u, 0x0B}});
  DiskEnumerator enumerator(tree.Roots());
  ASSERT_EQ(enumerator.Refresh(), 1);
  auto list = ListOf(enumerator);
  for (const auto& e : list) {
    EXPECT_LE(e.start + e.length, 300000u) << "entry at " << e.start;
    if (e.kind == Kind::Gap) {
      EXPECT_GE(e.start, 202048u) << "gap inside a volume";
    }
  }
}

TEST(DiskEnumerator, MissingTreeGivesAnEmptyMap) {
  FakeBlockTree tree;
  DiscoveryRoots roots = tree.Roots();
  roots.sysfs = tree.sys() + "/absent";
  DiskEnumerator enumerator(roots);
  EXPECT_EQ(enumerator.Refresh(), 0);
  VolumeEntry e;
  EXPECT_FALSE(enumerator.NextEntry(e));
}

}  // namespace
}  // namespace salvora
