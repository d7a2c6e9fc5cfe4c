#include <gtest/gtest.h>

#include "platform/BlockProbe.h"
#include "platform/MountTable.h"
#include "platform/SameDevice.h"
#include "support/TestSupport.h"

namespace salvora::platform {
namespace {

TEST(MountTable, ParsesFieldsEscapesAndOptionalTags) {
  auto mounts = ParseMountInfo(
      "27 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
      "95 27 8:17 / /media/my\\040card rw,nosuid shared:45 master:3 - vfat /dev/sdb1 rw,fmask=0022\n"
      "garbage line\n"
      "96 27 x:y / /bad rw - ext4 /dev/sdc rw\n"
      "97 27 0:55 / /mnt/ntfs rw - fuseblk /dev/sdc1 rw\n"
      "98 27 8:33 /sub /bind rw -\n");
  ASSERT_EQ(mounts.size(), 3u);
  EXPECT_EQ(mounts[1].major, 8u);
  EXPECT_EQ(mounts[1].minor, 17u);
  EXPECT_EQ(mounts[1].mountPoint, "/media/my card");
  EXPECT_EQ(mounts[1].fsType, "vfat");
  EXPECT_EQ(mounts[1].source, "/dev/sdb1");
  EXPECT_EQ(mounts[2].fsType, "fuseblk");

  EXPECT_EQ(FindMountFor(mounts, "/media/my card/DCIM/x.jpg")->source, "/dev/sdb1");
  EXPECT_EQ(FindMountFor(mounts, "/media/my cards")->source, "/dev/vda");
  EXPECT_EQ(FindMountFor(mounts, "/mnt/ntfs")->fsType, "fuseblk");
  EXPECT_EQ(FindMountFor({}, "/x"), nullptr);
}

TEST(BlockProbe, NamesFileSystemsAsTheRestOfTheSystemDoes) {
  EXPECT_EQ(FileSystemDisplayName("vfat", "FAT32"), "FAT32");
  EXPECT_EQ(FileSystemDisplayName("vfat", "FAT16"), "FAT");
  EXPECT_EQ(FileSystemDisplayName("vfat", "FAT12"), "FAT");
  EXPECT_EQ(FileSystemDisplayName("ntfs", ""), "NTFS");
  EXPECT_EQ(FileSystemDisplayName("exfat", ""), "exFAT");
  EXPECT_EQ(FileSystemDisplayName("ext4", "1.0"), "ext4");

  FileSystemProbe probe;
  ASSERT_EQ(ProbeFileSystem(test::FixturePath("fat16.img"), 0, 0, probe), 0);
  EXPECT_EQ(FileSystemDisplayName(probe.type, probe.version), "FAT");
  EXPECT_EQ(probe.label, "FAT16VOL");
  ASSERT_EQ(ProbeFileSystem(test::FixturePath("zero.img"), 0, 0, probe), 0);
  EXPECT_TRUE(probe.type.empty());
  EXPECT_NE(ProbeFileSystem("/no/such/device", 0, 0, probe), 0);

  PartitionTableProbe table;
  ASSERT_EQ(ProbePartitionTable(test::FixturePath("mbr-disk.img"), table), 0);
  EXPECT_EQ(table.tableType, "dos");
  ASSERT_EQ(table.partitions.size(), 2u);
  EXPECT_EQ(table.partitions[0].start512, 2048u);
  EXPECT_EQ(table.partitions[0].typeByte, 0x0C);
  EXPECT_EQ(table.partitions[1].typeByte, 0x07);
  ASSERT_EQ(ProbePartitionTable(test::FixturePath("fat32.img"), table), 0);
  EXPECT_TRUE(table.partitions.empty()) << "a FAT boot sector is not a partition table";
}

TEST(SameDevice, ImageFileMappedAsDiskIsItsOwnMedium) {
  test::TempDir dir;
  test::WriteFileBytes(dir.File("disk.img"), std::vector<uint8_t>(4096, 0));
  SourceSpan span;
  span.diskPath = dir.File("disk.img");
  EXPECT_TRUE(SameDevice(dir.File("disk.img"), span));
  EXPECT_FALSE(SameDevice(dir.File("copy.img"), span));
  EXPECT_FALSE(SameDevice(dir.File("copy.img"), SourceSpan{"/no/such/disk", 0, 0}));
}

}  // namespace
}  // namespace salvora::platform
