#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "carving/SignatureScanner.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

std::vector<uint8_t> SectorWith(const std::string& start, size_t size = 512) {
  std::vector<uint8_t> s(size, 0x11);
  std::copy(start.begin(), start.end(), s.begin());
  return s;
}

TEST(IsMetadataSector, KnowsNtfsRecordsAndBootSectors) {
  EXPECT_TRUE(IsMetadataSector(SectorWith("FILE0").data(), 512));
  EXPECT_TRUE(IsMetadataSector(SectorWith("INDX(").data(), 512));
  EXPECT_TRUE(IsMetadataSector(SectorWith(std::string("$\0S\0T\0A\0", 8)).data(), 512));
  auto rstr = SectorWith("RSTR");
  EXPECT_FALSE(IsMetadataSector(rstr.data(), 512));
  const std::string ntfs("N\0T\0F\0S\0", 8);
  std::copy(ntfs.begin(), ntfs.end(), rstr.begin() + 504);
  EXPECT_TRUE(IsMetadataSector(rstr.data(), 512));
  EXPECT_FALSE(IsMetadataSector(rstr.data(), 511));  // the text no longer fits

  for (const char* oem : {"MSDOS5.0", "MSWIN4.0", "MSWIN4.1", "NTFS    ", "EXFAT   "}) {
    auto boot = SectorWith(std::string("\xEB\x52\x90") + oem);
    EXPECT_TRUE(IsMetadataSector(boot.data(), 512)) << oem;
  }
  EXPECT_FALSE(IsMetadataSector(SectorWith("\xEB\x52\x90mkfs.fat").data(), 512));
  EXPECT_FALSE(IsMetadataSector(SectorWith("\xEB\x52\x91MSDOS5.0").data(), 512));
  EXPECT_FALSE(IsMetadataSector(SectorWith("FILE0").data(), 31));
}

// Scans a real image for sectors of a kind and checks that each counts as metadata.
int CountMetadata(const std::vector<uint8_t>& image, const std::string& magic, int& total) {
  int metadata = 0;
  total = 0;
  for (size_t at = 0; at + 512 <= image.size(); at += 512) {
    if (std::equal(magic.begin(), magic.end(), image.begin() + long(at))) {
      ++total;
      metadata += IsMetadataSector(image.data() + at, 512);
    }
  }
  return metadata;
}

TEST(IsMetadataSector, RealNtfsVolumeRecords) {
  auto image = test::ReadFileBytes(test::FixturePath("ntfs.img"));
  ASSERT_FALSE(image.empty());
  EXPECT_TRUE(IsMetadataSector(image.data(), 512));  // the boot sector
  int files = 0;
  EXPECT_EQ(CountMetadata(image, "FILE", files), files);
  EXPECT_GT(files, 16);
}

// A volume made on Windows, from the shared collection: its records and index blocks.
TEST(IsMetadataSector, WindowsNtfsVolume) {
  test::TempDir dir;
  const std::string path = test::GunzipSharedImage("dfir_ntfs/ntfs3.raw.gz", dir.path());
  if (path.empty()) GTEST_SKIP() << "shared images not here";
  auto image = test::ReadFileBytes(path);
  EXPECT_TRUE(IsMetadataSector(image.data(), 512));
  int files = 0, indexes = 0;
  EXPECT_EQ(CountMetadata(image, "FILE", files), files);
  EXPECT_GT(files, 1000);
  EXPECT_EQ(CountMetadata(image, "INDX", indexes), indexes);
  EXPECT_GE(indexes, 1);
}

TEST(IsMetadataSector, RealFatFolderSectors) {
  auto image = test::ReadFileBytes(test::FixturePath("fatdirs-fat16.img"));
  ASSERT_FALSE(image.empty());
  // mkfs.fat writes its own OEM name, so its boot sector is not among the known ones.
  EXPECT_FALSE(IsMetadataSector(image.data(), 512));
  int folders = 0;
  for (size_t at = 0; at + 512 <= image.size(); at += 512) folders += IsMetadataSector(image.data() + at, 512);
  EXPECT_GE(folders, 4);
}

}  // namespace
}  // namespace salvora
