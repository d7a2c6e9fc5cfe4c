// The fast engine's building blocks on hand-made bytes: times, names, entry validity, the
// geometry, the allocation table (12, 16 and 32 bits) and the usage bitmap.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "fatdir/FatDirEntry.h"
#include "fat/FatEntryValidity.h"
#include "fat/FatGeometry.h"
#include "fat/FatNames.h"
#include "fat/FatTable.h"
#include "fat/FatTime.h"
#include "fat/FatUsageBitmap.h"
#include "platform/ByteView.h"
#include "platform/Clock.h"
#include "platform/RawSource.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using Entry = std::array<uint8_t, 32>;

constexpr uint16_t Date(int y, int m, int d) { return uint16_t(((y - 1980) << 9) | (m << 5) | d); }
constexpr uint16_t Time(int h, int m, int s) { return uint16_t((h << 11) | (m << 5) | (s / 2)); }

Entry FileEntry(const char* name11, uint8_t attr = 0x20, uint32_t size = 100, uint16_t cluster = 5) {
  Entry e{};
  std::memcpy(e.data(), name11, 11);
  e[11] = attr;
  StoreLe16(&e[14], Time(10, 30, 0));
  StoreLe16(&e[16], Date(2020, 5, 17));
  StoreLe16(&e[18], Date(2020, 5, 17));
  StoreLe16(&e[22], Time(10, 30, 0));
  StoreLe16(&e[24], Date(2020, 5, 17));
  StoreLe16(&e[26], cluster);
  StoreLe32(&e[28], size);
  return e;
}

std::vector<uint8_t> BootSectorOf(const std::string& image) {
  std::vector<uint8_t> boot(512, 0);
  FILE* f = std::fopen(image.c_str(), "rb");
  if (f) {
    EXPECT_EQ(std::fread(boot.data(), 1, boot.size(), f), boot.size());
    std::fclose(f);
  }
  return boot;
}

bool Usable(const Entry& e) { return IsUsableFastEntry(ByteView(e.data(), e.size()), 0); }

uint64_t FileTimeOf(int y, int mo, int d, int h, int mi, int s) {
  struct tm tm {};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  return platform::UnixToFileTime(timegm(&tm));
}

TEST(FatTime, ConvertsDatesTimesAndTheCreationHundredths) {
  EXPECT_EQ(FatDateTimeToFileTime(Date(2020, 5, 17), Time(10, 30, 58)), FileTimeOf(2020, 5, 17, 10, 30, 58));
  EXPECT_EQ(FatDateTimeToFileTime(Date(1980, 1, 1), 0), FileTimeOf(1980, 1, 1, 0, 0, 0));
  EXPECT_EQ(FatDateTimeToFileTime(Date(2024, 2, 29), 0), FileTimeOf(2024, 2, 29, 0, 0, 0));
  // Unconvertible: month 0, day 0, 30 February, hour 24, 62 seconds.
  EXPECT_EQ(FatDateTimeToFileTime(0, 0), 0u);
  EXPECT_EQ(FatDateTimeToFileTime(Date(2020, 2, 30), 0), 0u);
  EXPECT_EQ(FatDateTimeToFileTime(Date(2020, 1, 1), uint16_t(24 << 11)), 0u);
  EXPECT_EQ(FatDateTimeToFileTime(Date(2020, 1, 1), 31), 0u);

  Entry e = FileEntry("A       TXT");
  e[13] = 155;  // one second and 55 hundredths, kept as 50 ms
  EXPECT_EQ(FatCreationFileTime(FatDirEntry(e.data())), FileTimeOf(2020, 5, 17, 10, 30, 1) + 50 * 10000);
  e[13] = 37;
  EXPECT_EQ(FatCreationFileTime(FatDirEntry(e.data())), FileTimeOf(2020, 5, 17, 10, 30, 0) + 30 * 10000);
  EXPECT_EQ(FatAccessFileTime(FatDirEntry(e.data())), FileTimeOf(2020, 5, 17, 0, 0, 0));
}

TEST(FatNames, ShortNamesFollowTheirCaseFlagsAndShowTheLostLetterAsUnderscore) {
  Entry e = FileEntry("EXAMPLE JPG");
  EXPECT_EQ(FatShortFileName(FatDirEntry(e.data())), "EXAMPLE.JPG");
  e[12] = 0x08;  // lower-case base
  EXPECT_EQ(FatShortFileName(FatDirEntry(e.data())), "example.JPG");
  e[12] = 0x18;  // and extension
  e[0] = 0xE5;
  EXPECT_EQ(FatShortFileName(FatDirEntry(e.data())), "_xample.jpg");
  Entry folder = FileEntry("\xE5HOTOS  EXT", 0x10, 0);
  EXPECT_EQ(FatShortFolderName(FatDirEntry(folder.data())), "_HOTOS");
  Entry noExt = FileEntry("README     ");
  EXPECT_EQ(FatShortFileName(FatDirEntry(noExt.data())), "README");
  // Code page 437 bytes, and 0x05 standing for a real 0xE5 (sigma), with lower-case flags.
  Entry cp = FileEntry("\x05\x81" "BER   TXT");
  cp[12] = 0x18;
  EXPECT_EQ(FatShortFileName(FatDirEntry(cp.data())), "\xCF\x83\xC3\xBC" "ber.txt");
}

Entry LongPart(uint8_t sequence, const std::u16string& text) {
  Entry e{};
  e[0] = sequence;
  e[11] = 0x0F;
  static constexpr int kOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
  for (int i = 0; i < 13; ++i) {
    char16_t unit = i < int(text.size()) ? text[i] : (i == int(text.size()) ? 0 : 0xFFFF);
    StoreLe16(&e[kOffsets[i]], uint16_t(unit));
  }
  return e;
}

TEST(FatNames, LongNamePartsArePrependedAndOverlongRunsDropTheirName) {
  FatLongNameCollector name;
  Entry last = LongPart(0x42, u"ng.jpg"), first = LongPart(0x01, u"A Name Ä Lo\u00e9n");
  EXPECT_TRUE(name.Prepend(FatDirEntry(last.data())));
  EXPECT_TRUE(name.Prepend(FatDirEntry(first.data())));
  EXPECT_TRUE(name.HasName());
  EXPECT_EQ(name.Name(), "A Name \xC3\x84 Lo\xC3\xA9nng.jpg");
  name.Clear();
  EXPECT_FALSE(name.HasName());
  // 20 parts hold the longest legal name; a 21st drops the name and the rest of its run.
  Entry filler = LongPart(0x01, u"abcdefghijklm");
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(name.Prepend(FatDirEntry(filler.data())));
  EXPECT_EQ(name.Name().size(), 260u);  // whole: 20 parts of 13 characters
  EXPECT_FALSE(name.Prepend(FatDirEntry(filler.data())));
  EXPECT_FALSE(name.HasName());
  EXPECT_FALSE(name.Prepend(FatDirEntry(last.data())));
  name.Clear();
  EXPECT_TRUE(name.Prepend(FatDirEntry(last.data())));
  EXPECT_EQ(name.Name(), "ng.jpg");
}

TEST(FatEntryValidity, AcceptsRealEntriesAndRejectsImplausibleOnes) {
  EXPECT_TRUE(Usable(FileEntry("PHOTO   JPG")));
  Entry deleted = FileEntry("\xE5HOTO   JPG");
  StoreLe16(&deleted[24], Date(2077, 1, 1));  // a deleted entry's dates are not checked
  EXPECT_TRUE(Usable(deleted));
  Entry future = FileEntry("PHOTO   JPG");
  StoreLe16(&future[24], Date(2077, 1, 1));
  EXPECT_FALSE(Usable(future));
  EXPECT_FALSE(Usable(FileEntry("photo   jpg")));      // lower case never in a short name
  EXPECT_FALSE(Usable(FileEntry("PH*TO   JPG")));
  EXPECT_FALSE(Usable(FileEntry("PHOTO   JPG", 0x00)));  // no archive bit: not usable
  EXPECT_FALSE(Usable(FileEntry("PHOTO   JPG", 0x20, 0, 9)));  // size 0 with a cluster
  EXPECT_TRUE(Usable(FileEntry("EMPTY   DAT", 0x20, 0, 0)));
  EXPECT_FALSE(Usable(FileEntry("DIR        ", 0x11, 0)));    // folder and read-only
  EXPECT_FALSE(Usable(FileEntry("DIR        ", 0x10, 512)));  // live folder with a size
  EXPECT_TRUE(Usable(FileEntry("\xE5IR        ", 0x10, 0)));
  EXPECT_TRUE(Usable(FileEntry("LABEL      ", 0x08, 0, 0)));
  EXPECT_FALSE(Usable(FileEntry("LABEL      ", 0x08, 0, 3)));
  EXPECT_FALSE(Usable(FileEntry("PHOTO   JPG", 0x40)));
  Entry part = LongPart(0x55, u"x");  // sequence 21: no name has that many parts
  EXPECT_FALSE(Usable(part));
  part[0] = 0x54;
  EXPECT_TRUE(Usable(part));
  part[0] = 0xE5;  // deleted parts keep their text, their sequence is gone
  EXPECT_TRUE(Usable(part));

  // "." followed by ".." opens a folder cluster; a lone ".." is skipped.
  std::array<uint8_t, 64> dots{};
  Entry dot = FileEntry(".          ", 0x10, 0, 7), dotdot = FileEntry("..         ", 0x10, 0, 0);
  std::memcpy(dots.data(), dot.data(), 32);
  std::memcpy(dots.data() + 32, dotdot.data(), 32);
  EXPECT_TRUE(IsUsableFastEntry(ByteView(dots.data(), 64), 0));
  EXPECT_FALSE(IsUsableFastEntry(ByteView(dots.data(), 64), 1));
  EXPECT_FALSE(IsUsableFastEntry(ByteView(dots.data(), 64), 2));  // past the buffer
}

TEST(FatGeometry, RootSizeComesFromTheBootSector) {
  // mkfs.fat's floppy: 1 reserved, 2 tables of 9 sectors, 224 root entries (14 sectors).
  std::vector<uint8_t> f12 = BootSectorOf(test::FixturePath("fat12.img"));
  auto floppy = FatGeometry::FromBootSector(ByteView(f12.data(), 512));
  ASSERT_TRUE(floppy);
  EXPECT_EQ(floppy->entryBits, 12);
  EXPECT_EQ(floppy->rootSectors, 14u);
  EXPECT_EQ(floppy->dataStart, 1u + 2 * 9 + 14);
  EXPECT_EQ(floppy->RootStart(), 19u);

  std::vector<uint8_t> big = BootSectorOf(test::FixturePath("fat16-root4096.img"));
  auto g16 = FatGeometry::FromBootSector(ByteView(big.data(), 512));
  ASSERT_TRUE(g16);
  EXPECT_EQ(g16->entryBits, 16);
  EXPECT_EQ(g16->rootSectors, 256u);
  EXPECT_EQ(g16->dataStart, g16->reservedSectors + 2 * g16->fatSectors + 256);

  std::vector<uint8_t> b32 = BootSectorOf(test::FixturePath("fat32.img"));
  auto g32 = FatGeometry::FromBootSector(ByteView(b32.data(), 512));
  ASSERT_TRUE(g32);
  EXPECT_TRUE(g32->fat32);
  EXPECT_EQ(g32->entryBits, 32);
  EXPECT_EQ(g32->rootCluster, 2u);
  EXPECT_EQ(g32->dataStart, g32->reservedSectors + 2 * g32->fatSectors);

  std::vector<uint8_t> zero(512, 0);
  EXPECT_FALSE(FatGeometry::FromBootSector(ByteView(zero.data(), zero.size())));
}

// A table in memory: a source holding only the table's sectors.
class TableTest : public ::testing::Test {
 protected:
  void Load(std::vector<uint8_t> bytes, int bits, uint32_t maxCluster) {
    const uint64_t sectors = bytes.size() / 512;
    reader_.Attach(std::make_unique<platform::MemorySource>(std::move(bytes)), sectors);
    ASSERT_EQ(table_.Load(&reader_, 0, 512, bits, sectors, maxCluster), 0);
  }
  uint32_t Next(uint32_t c) {
    uint32_t n = 99;
    EXPECT_EQ(table_.Next(c, n), 0);
    return n;
  }
  SectorReader reader_;
  FatTable table_;
};

TEST_F(TableTest, TwelveBitEntriesAreUnpacked) {
  std::vector<uint8_t> fat(1536, 0);
  auto set12 = [&](uint32_t c, uint16_t v) {
    size_t o = c + c / 2;
    if (c & 1) { fat[o] = uint8_t((fat[o] & 0x0F) | (v << 4)); fat[o + 1] = uint8_t(v >> 4); }
    else { fat[o] = uint8_t(v); fat[o + 1] = uint8_t((fat[o + 1] & 0xF0) | (v >> 8)); }
  };
  set12(2, 3); set12(3, 0xFFF); set12(4, 0xABC); set12(5, 0x123); set12(681, 0x5A5); set12(682, 0xFF8);
  Load(fat, 12, 2000);
  uint32_t v = 0;
  for (auto [c, want] : std::vector<std::pair<uint32_t, uint32_t>>{{2, 3}, {3, 0xFFF}, {4, 0xABC}, {5, 0x123}, {681, 0x5A5}, {682, 0xFF8}}) {
    ASSERT_EQ(table_.Entry(c, v), 0);
    EXPECT_EQ(v, want) << c;
  }
  EXPECT_EQ(Next(2), 3u);
  EXPECT_EQ(Next(3), 0u);     // end of chain
  EXPECT_EQ(Next(682), 0u);
  EXPECT_EQ(Next(5), 0x123u);
  // Entries past the clipped window cannot be read.
  EXPECT_EQ(table_.Entry(1100, v), 30);
}

TEST_F(TableTest, FreeEntriesContinueIntoTheNextFreeCluster) {
  std::vector<uint8_t> fat(2048, 0);
  auto set16 = [&](uint32_t c, uint16_t v) { StoreLe16(&fat[c * 2], v); };
  set16(10, 0);  set16(11, 0);   // a deleted file: both free
  set16(12, 0);  set16(13, 14);
  set16(20, 0xFFF7);             // bad cluster
  set16(21, 0xFFFF);
  set16(22, 5000);               // a link past the data area
  Load(fat, 16, 900);
  EXPECT_EQ(Next(10), 11u);
  EXPECT_EQ(Next(12), 0u);       // the next cluster is in use: the run ends
  EXPECT_EQ(Next(13), 14u);
  EXPECT_EQ(Next(20), 0u);
  EXPECT_EQ(Next(21), 0u);
  EXPECT_EQ(Next(22), 0u);
}

TEST_F(TableTest, ThirtyTwoBitEntriesAreMaskedAndTheWindowReloads) {
  // A table larger than one window is not needed: reloading is checked across a short window
  // by reading an entry past what the first load held.
  std::vector<uint8_t> fat(4096, 0);
  StoreLe32(&fat[2 * 4], 0xF0000003);  // high nibble reserved
  StoreLe32(&fat[3 * 4], 0x0FFFFFF8);
  StoreLe32(&fat[1000 * 4], 7);
  Load(fat, 32, 2000);
  EXPECT_EQ(Next(2), 3u);
  EXPECT_EQ(Next(3), 0u);
  EXPECT_EQ(Next(1000), 7u);
  uint32_t v = 0;
  EXPECT_EQ(table_.Entry(5000, v), 30);
  EXPECT_EQ(Next(2), 3u);  // back into the first part of the table after a failed reload
}

TEST(FatTableWithoutWindow, AssumesContiguousClusters) {
  FatTable table;
  uint32_t v = 0;
  EXPECT_EQ(table.Entry(41, v), 0);
  EXPECT_EQ(v, 42u);
}

TEST(FatUsageBitmap, NextUnusedRangeWalksTheFreeRuns) {
  // Clusters 2-9 used, 10-14 free, 15 used, the rest free; 4 sectors per cluster.
  FatUsageBitmap bitmap;
  bitmap.Assign({0xFF, 0x20, 0x00, 0x00});
  const uint64_t dataStart = 100, partition = 100 + 32 * 4;
  uint64_t start = 0, length = 0;
  EXPECT_EQ(bitmap.NextUnusedRange(start, length, partition, dataStart, 4), 1);
  EXPECT_EQ(start, dataStart + 32);
  EXPECT_EQ(length, 20u);
  start += length;
  bitmap.NextUnusedRange(start, length, partition, dataStart, 4);
  EXPECT_EQ(start, dataStart + 14 * 4);
  EXPECT_EQ(length, partition - start);  // clipped to the partition's end
  start += length;
  bitmap.NextUnusedRange(start, length, partition, dataStart, 4);
  EXPECT_EQ(length, 0u);
  start = partition + 50;
  bitmap.NextUnusedRange(start, length, partition, dataStart, 4);
  EXPECT_EQ(start, partition);
  EXPECT_EQ(length, 0u);
}

TEST_F(TableTest, UsageBitmapMarksAllocatedClustersAndTheirLinks) {
  std::vector<uint8_t> fat(1024, 0);
  StoreLe16(&fat[2 * 2], 3);
  StoreLe16(&fat[3 * 2], 0xFFFF);
  StoreLe16(&fat[6 * 2], 0xFFF7);
  StoreLe16(&fat[8 * 2], 12);  // the link's target is marked although its own entry is free
  Load(fat, 16, 17);
  FatUsageBitmap bitmap;
  bitmap.Build(table_, 16);
  ASSERT_EQ(bitmap.Bits().size(), 2u);
  for (uint32_t c = 2; c < 18; ++c)
    EXPECT_EQ(bitmap.IsUsed(c), c == 2 || c == 3 || c == 6 || c == 8 || c == 12) << c;
}

}  // namespace
}  // namespace salvora
