#include <gtest/gtest.h>

#include "storage/ImageDestination.h"

namespace salvora {
namespace {

DestinationFacts Facts(const std::string& fs, uint64_t free = UINT64_MAX / 2) {
  DestinationFacts f;
  f.fileSystemName = fs;
  f.freeKnown = true;
  f.freeBytes = free;
  return f;
}

TEST(ImageDestination, FatLimits) {
  EXPECT_EQ(CheckImageDestination(Facts("FAT32"), kFat32ImageLimit + 1), DestinationVerdict::Fat32TooLarge);
  // Exactly 4 GiB passes the FAT32 rule and is caught by the FAT one (FAT32 cannot hold it).
  EXPECT_EQ(CheckImageDestination(Facts("FAT32"), kFat32ImageLimit), DestinationVerdict::FatTooLarge);
  EXPECT_EQ(CheckImageDestination(Facts("fat32"), kFatImageLimit + 1), DestinationVerdict::FatTooLarge);
  EXPECT_EQ(CheckImageDestination(Facts("FAT32"), kFatImageLimit), DestinationVerdict::Accepted);
  EXPECT_EQ(CheckImageDestination(Facts("FAT"), kFatImageLimit + 1), DestinationVerdict::FatTooLarge);
  EXPECT_EQ(CheckImageDestination(Facts("FAT"), kFatImageLimit), DestinationVerdict::Accepted);
  EXPECT_EQ(CheckImageDestination(Facts("NTFS"), kFat32ImageLimit * 4), DestinationVerdict::Accepted);
  // exFAT holds files of any size the card can take.
  EXPECT_EQ(CheckImageDestination(Facts("exFAT"), kFat32ImageLimit * 4), DestinationVerdict::Accepted);
}

TEST(ImageDestination, FreeSpaceMustExceedTheImage) {
  EXPECT_EQ(CheckImageDestination(Facts("ext4", 1000), 1000), DestinationVerdict::NotEnoughSpace);
  EXPECT_EQ(CheckImageDestination(Facts("ext4", 1001), 1000), DestinationVerdict::Accepted);
  DestinationFacts unknown = Facts("ext4", 0);
  unknown.freeKnown = false;
  EXPECT_EQ(CheckImageDestination(unknown, 1000), DestinationVerdict::Accepted);
}

TEST(ImageDestination, SourceRuleComesFirst) {
  DestinationFacts f = Facts("FAT32", 0);
  f.onSource = true;
  EXPECT_EQ(CheckImageDestination(f, kFat32ImageLimit * 2), DestinationVerdict::OnSource);
  EXPECT_STREQ(VerdictMessageId(DestinationVerdict::OnSource), "MSG0218");
  EXPECT_STREQ(VerdictMessageId(DestinationVerdict::FatTooLarge), "MSG0219");
  EXPECT_STREQ(VerdictMessageId(DestinationVerdict::Fat32TooLarge), "MSG0220");
  EXPECT_STREQ(VerdictMessageId(DestinationVerdict::NotEnoughSpace), "MSG0221");
}

}  // namespace
}  // namespace salvora
