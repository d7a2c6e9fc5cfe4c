#include "platform/MountInfo.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/TestSupport.h"

namespace salvora::platform {
namespace {
namespace fs = std::filesystem;

TEST(MountInfoTest, FindsTheMountPointOfADeviceNumberAndDecodesEscapes) {
  const char* text =
      "22 1 0:21 / /proc rw,nosuid - proc proc rw\n"
      "31 22 8:17 / /media/user/NO\\040NAME rw,relatime shared:1 - vfat /dev/sdb1 rw\n"
      "32 22 8:18 /sub /mnt/x\\134y rw - ntfs3 /dev/sdb2 rw\n"
      "garbage line\n"
      "33 22 8:1";
  EXPECT_EQ(MountPointOf(text, 8, 17), "/media/user/NO NAME");
  EXPECT_EQ(MountPointOf(text, 8, 18), "/mnt/x\\y");
  EXPECT_EQ(MountPointOf(text, 8, 1), "");
  EXPECT_EQ(MountPointOf(text, 8, 2), "");
  EXPECT_EQ(MountPointOf("", 8, 17), "");
}

TEST(MountInfoTest, FreeBytesOfAMountedFileSystem) {
  uint64_t freeBytes = 0;
  EXPECT_EQ(MountedFreeBytes("/", freeBytes), 0);
  EXPECT_GT(freeBytes, 0u);
  EXPECT_NE(MountedFreeBytes("/no/such/place", freeBytes), 0);
  EXPECT_EQ(MountPointOfDevice("/no/such/device"), "");
}

TEST(MountInfoTest, PartitionDeviceIsFoundByItsStartInTheDisksSectors) {
  test::TempDir sys;
  fs::create_directories(sys.path() + "/sdq/sdq1");
  fs::create_directories(sys.path() + "/sdq/sdq2");
  fs::create_directories(sys.path() + "/sdq/queue");
  std::ofstream(sys.path() + "/sdq/sdq1/start") << "2048\n";
  std::ofstream(sys.path() + "/sdq/sdq2/start") << "16384\n";
  std::ofstream(sys.path() + "/sdq/queue/logical_block_size") << "4096\n";
  // 4096-byte sectors: sector 2048 of the disk is 512-byte unit 16384.
  EXPECT_EQ(PartitionDevicePath("/dev/sdq", 2048, sys.path()), "/dev/sdq2");
  EXPECT_EQ(PartitionDevicePath("/dev/sdq", 256, sys.path()), "/dev/sdq1");
  EXPECT_EQ(PartitionDevicePath("/dev/sdq", 0, sys.path()), "/dev/sdq");
  EXPECT_EQ(PartitionDevicePath("/dev/sdq", 5, sys.path()), "");
  EXPECT_EQ(PartitionDevicePath("/tmp/disk.img", 2048, sys.path()), "");
}

}  // namespace
}  // namespace salvora::platform
