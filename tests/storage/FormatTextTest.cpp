#include <gtest/gtest.h>

#include "storage/DisplayNames.h"
#include "storage/FormatText.h"

namespace salvora {
namespace {

TEST(FormatSize, UnitBoundaries) {
  EXPECT_EQ(FormatSize(0), "0 Bytes");
  EXPECT_EQ(FormatSize(1023), "1023 Bytes");
  EXPECT_EQ(FormatSize(1024), "1.00 KB");
  EXPECT_EQ(FormatSize(1536), "1.50 KB");
  EXPECT_EQ(FormatSize(1048575), "1024.00 KB");
  EXPECT_EQ(FormatSize(1048576), "1.00 MB");
  EXPECT_EQ(FormatSize(int64_t(7) << 30), "7.00 GB");
  EXPECT_EQ(FormatSize(int64_t(3) << 40), "3.00 TB");
  EXPECT_EQ(FormatSize(-5), "-5 Bytes");
}

TEST(FormatDuration, SecondsMinutesHours) {
  EXPECT_EQ(FormatDuration(0), "0 Sec");
  EXPECT_EQ(FormatDuration(59), "59 Sec");
  EXPECT_EQ(FormatDuration(60), "1 Min 0 Sec");
  EXPECT_EQ(FormatDuration(3599), "59 Min 59 Sec");
  EXPECT_EQ(FormatDuration(3600), "1 Hour 0 Min");
  EXPECT_EQ(FormatDuration(3600 * 26 + 61), "26 Hour 1 Min");
}

TEST(DisplayNames, NumberedLetteredAndDisks) {
  VolumeEntry e;
  e.letter = char16_t(3);
  e.label = "CARD";
  e.fileSystemName = "FAT32";
  e.totalBytes = 1536;
  EXPECT_EQ(EntryDisplayName(e), "3:\\ CARD");
  EXPECT_EQ(SuggestedImageName(e), "3 (FAT32, 1.50 KB)");
  // A number that happens to be a letter's code stays a number.
  e.letter = char16_t('E');
  EXPECT_EQ(EntryDisplayName(e), "69:\\ CARD");
  e.lettered = true;
  EXPECT_EQ(EntryDisplayName(e), "E:\\ CARD");
  EXPECT_EQ(SuggestedImageName(e), "E (FAT32, 1.50 KB)");

  EXPECT_EQ(DiskDisplayName(0, "Removable Disk"), "Removable Disk 1");
  EXPECT_EQ(SuggestedDiskImageName(1), "Physical Disk 2");

  VolumeEntry gap;
  gap.kind = VolumeEntry::Kind::Gap;
  gap.diskPath = "/dev/sdb";
  gap.start = 2048;
  gap.length = 100;
  EXPECT_EQ(EntryLocationText(gap), "/dev/sdb sectors 2048-2147");
  VolumeEntry mounted;
  mounted.devicePath = "/dev/sdb1";
  mounted.rootPath = "/media/card/";
  EXPECT_EQ(EntryLocationText(mounted), "/dev/sdb1 on /media/card");
}

}  // namespace
}  // namespace salvora
