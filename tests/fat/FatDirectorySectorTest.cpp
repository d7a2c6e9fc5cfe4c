#include "fatdir/FatDirectorySector.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "fat/FatBootSector.h"
#include "fatdir/FatDirEntry.h"
#include "platform/ByteView.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using Entry = std::array<uint8_t, 32>;

constexpr uint16_t Date(int y, int m, int d) { return uint16_t(((y - 1980) << 9) | (m << 5) | d); }
constexpr uint16_t kTime = (10 << 11) | (30 << 5);

// A live 8.3 file entry stamped in 2020 with the archive attribute.
Entry ShortEntry(const char* name11, uint8_t attr = 0x20, uint32_t size = 100, uint16_t cluster = 5) {
  Entry e{};
  std::memcpy(e.data(), name11, 11);
  e[11] = attr;
  StoreLe16(&e[14], kTime);
  StoreLe16(&e[16], Date(2020, 5, 17));
  StoreLe16(&e[18], Date(2020, 5, 17));
  StoreLe16(&e[22], kTime);
  StoreLe16(&e[24], Date(2020, 5, 17));
  StoreLe16(&e[26], cluster);
  StoreLe32(&e[28], size);
  return e;
}

Entry LongEntry(uint8_t sequence, uint8_t checksum, const char* text) {
  Entry e{};
  e[0] = sequence;
  e[11] = 0x0F;
  e[13] = checksum;
  static constexpr int kSlots[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
  size_t n = std::strlen(text);
  for (int i = 0; i < 13; ++i) {
    uint16_t c = size_t(i) < n ? uint16_t(uint8_t(text[i])) : (size_t(i) == n ? 0 : 0xFFFF);
    StoreLe16(&e[size_t(kSlots[i])], c);
  }
  return e;
}

std::vector<uint8_t> Sector(std::initializer_list<Entry> entries) {
  std::vector<uint8_t> s(512, 0);
  size_t at = 0;
  for (const Entry& e : entries) {
    std::memcpy(&s[at], e.data(), 32);
    at += 32;
  }
  return s;
}

TEST(FatDirEntry, ChecksumFollowsThePublishedRotation) {
  // Known value: the short name "README  TXT".
  const uint8_t name[11] = {'R', 'E', 'A', 'D', 'M', 'E', ' ', ' ', 'T', 'X', 'T'};
  uint8_t sum = 0;
  for (uint8_t c : name) sum = uint8_t(((sum & 1) ? 0x80 : 0) + (sum >> 1) + c);
  EXPECT_EQ(ShortNameChecksum(name), sum);
  Entry e = ShortEntry("README  TXT");
  EXPECT_EQ(FatDirEntry(e.data()).ShortNameChecksum(), sum);
  Entry l = LongEntry(0x41, sum, "readme.txt");
  EXPECT_EQ(FatDirEntry(l.data()).LongNameChar(0), 'r');
  EXPECT_EQ(FatDirEntry(l.data()).LongNameChar(10), 0);
  EXPECT_EQ(FatDirEntry(l.data()).LongNameChar(12), 0xFFFF);
}

TEST(IsSubdirectoryStart, NeedsDotAndDotDotDirectoriesOfSizeZero) {
  Entry dot = ShortEntry(".          ", 0x10, 0, 9);
  Entry dotdot = ShortEntry("..         ", 0x10, 0, 0);
  auto s = Sector({dot, dotdot});
  EXPECT_TRUE(IsSubdirectoryStart(s.data(), s.size()));
  EXPECT_FALSE(IsSubdirectoryStart(s.data(), 63));
  EXPECT_FALSE(IsSubdirectoryStart(nullptr, 512));
  Entry notDir = ShortEntry("..         ", 0x20, 0, 0);
  EXPECT_FALSE(IsSubdirectoryStart(Sector({dot, notDir}).data(), 512));
  Entry sized = ShortEntry(".          ", 0x10, 4096, 9);
  EXPECT_FALSE(IsSubdirectoryStart(Sector({sized, dotdot}).data(), 512));
  // The dot entries are plausible on their own, but a sector with them is left to this test.
  EXPECT_TRUE(IsPlausibleDirEntry(dot.data()));
  EXPECT_TRUE(IsPlausibleDirEntry(dotdot.data()));
  EXPECT_FALSE(IsFatDirectorySector(s.data(), s.size()));
}

TEST(IsPlausibleDirEntry, AcceptsOrdinaryEntriesOfEachKind) {
  EXPECT_TRUE(IsPlausibleDirEntry(ShortEntry("README  TXT").data()));
  EXPECT_TRUE(IsPlausibleDirEntry(ShortEntry("EMPTY   TXT", 0x20, 0, 0).data()));
  EXPECT_TRUE(IsPlausibleDirEntry(ShortEntry("PHOTOS     ", 0x10, 0, 12).data()));
  EXPECT_TRUE(IsPlausibleDirEntry(ShortEntry("My Card    ", 0x08, 0, 0).data()));
  EXPECT_TRUE(IsPlausibleDirEntry(LongEntry(0x41, 0x12, "photo.jpg").data()));
  Entry deleted = ShortEntry("README  TXT");
  deleted[0] = 0xE5;
  EXPECT_TRUE(IsPlausibleDirEntry(deleted.data()));
}

TEST(IsPlausibleDirEntry, RejectsInconsistentFields) {
  EXPECT_FALSE(IsPlausibleDirEntry(nullptr));
  // A file of size 0 with a cluster.
  EXPECT_FALSE(IsPlausibleDirEntry(ShortEntry("EMPTY   TXT", 0x20, 0, 7).data()));
  // Attribute 40 or above, and label bits mixed with others.
  EXPECT_FALSE(IsPlausibleDirEntry(ShortEntry("README  TXT", 0x40).data()));
  EXPECT_FALSE(IsPlausibleDirEntry(ShortEntry("README  TXT", 0x28).data()));
  // A label with a size or a cluster.
  EXPECT_FALSE(IsPlausibleDirEntry(ShortEntry("LABEL      ", 0x08, 5, 0).data()));
  EXPECT_FALSE(IsPlausibleDirEntry(ShortEntry("LABEL      ", 0x08, 0, 3).data()));
  // A long-name sequence beyond 20 (255 characters fill 20 pieces), unless deleted.
  EXPECT_TRUE(IsPlausibleDirEntry(LongEntry(0x40 | 20, 0x12, "x").data()));
  EXPECT_FALSE(IsPlausibleDirEntry(LongEntry(0x40 | 21, 0x12, "x").data()));
  Entry deletedLong = LongEntry(0x40 | 21, 0x12, "x");
  deletedLong[0] = 0xE5;
  EXPECT_TRUE(IsPlausibleDirEntry(deletedLong.data()));
  // A long-name piece owning a cluster.
  Entry clustered = LongEntry(0x41, 0x12, "x");
  StoreLe16(&clustered[26], 4);
  EXPECT_FALSE(IsPlausibleDirEntry(clustered.data()));
  // A read-only directory, a directory with a size, a file with neither archive nor directory bit.
  EXPECT_FALSE(IsPlausibleDirEntry(ShortEntry("PHOTOS     ", 0x11, 0, 12).data()));
  EXPECT_FALSE(IsPlausibleDirEntry(ShortEntry("PHOTOS     ", 0x10, 512, 12).data()));
  EXPECT_FALSE(IsPlausibleDirEntry(ShortEntry("README  TXT", 0x01).data()));
}

TEST(IsPlausibleDirEntry, RejectsForbiddenNameBytes) {
  for (char c : {'a', 'z', '.', '\\', ':', '*', '?', '"', '<', '>', '|', '\x01'}) {
    char name[12] = "README  TXT";
    name[2] = c;
    EXPECT_FALSE(IsPlausibleDirEntry(ShortEntry(name).data())) << int(c);
  }
  // Labels may carry lower case.
  EXPECT_TRUE(IsPlausibleDirEntry(ShortEntry("my card    ", 0x08, 0, 0).data()));
}

TEST(IsPlausibleDirEntry, LiveFileTimestampsLieBetween1990And2050) {
  Entry e = ShortEntry("README  TXT");
  StoreLe16(&e[24], Date(2051, 3, 1));
  EXPECT_FALSE(IsPlausibleDirEntry(e.data()));
  e[0] = 0xE5;  // deleted: its date is not judged
  EXPECT_TRUE(IsPlausibleDirEntry(e.data()));

  Entry early = ShortEntry("README  TXT");
  StoreLe16(&early[16], Date(1989, 12, 31));
  EXPECT_FALSE(IsPlausibleDirEntry(early.data()));
  Entry access = ShortEntry("README  TXT");
  StoreLe16(&access[18], 0);
  EXPECT_FALSE(IsPlausibleDirEntry(access.data()));
  Entry edge = ShortEntry("README  TXT");
  StoreLe16(&edge[24], Date(2050, 1, 1));
  StoreLe16(&edge[22], 0);
  EXPECT_TRUE(IsPlausibleDirEntry(edge.data()));
  StoreLe16(&edge[22], 1);
  EXPECT_FALSE(IsPlausibleDirEntry(edge.data()));
  // Directories are not judged by their dates.
  Entry dir = ShortEntry("PHOTOS     ", 0x10, 0, 12);
  StoreLe16(&dir[24], Date(2070, 1, 1));
  EXPECT_TRUE(IsPlausibleDirEntry(dir.data()));
}

TEST(IsFatDirectorySector, ZeroSectorAndEndOfDirectory) {
  std::vector<uint8_t> zeros(512, 0);
  EXPECT_FALSE(IsFatDirectorySector(zeros.data(), zeros.size()));
  EXPECT_FALSE(IsFatDirectorySector(nullptr, 512));
  EXPECT_FALSE(IsFatDirectorySector(zeros.data(), 31));
  auto s = Sector({ShortEntry("README  TXT"), ShortEntry("DATA    BIN", 0x20, 9000, 40)});
  EXPECT_TRUE(IsFatDirectorySector(s.data(), s.size()));
  s[300] = 1;  // garbage after the end of the directory
  EXPECT_FALSE(IsFatDirectorySector(s.data(), s.size()));
}

TEST(IsFatDirectorySector, OneBadEntryRejectsTheSector) {
  Entry late = ShortEntry("LATE    TXT");
  StoreLe16(&late[24], Date(2051, 6, 1));
  EXPECT_FALSE(IsFatDirectorySector(Sector({ShortEntry("README  TXT"), late}).data(), 512));
  late[0] = 0xE5;
  EXPECT_TRUE(IsFatDirectorySector(Sector({ShortEntry("README  TXT"), late}).data(), 512));
}

TEST(IsFatDirectorySector, ShortEntryNameRules) {
  auto passes = [](Entry e) { return IsFatDirectorySector(Sector({e}).data(), 512); };
  EXPECT_TRUE(passes(ShortEntry("A       B  ")));
  EXPECT_FALSE(passes(ShortEntry("A B     TXT")));  // a character after padding
  EXPECT_FALSE(passes(ShortEntry("README  T X")));
  Entry noCreation = ShortEntry("README  TXT");
  StoreLe16(&noCreation[14], 0);
  StoreLe16(&noCreation[16], 0);
  EXPECT_FALSE(passes(noCreation));
  // A label needs no creation stamp (live labels still need plausible dates, deleted ones not).
  Entry label = ShortEntry("CARD       ", 0x08, 0, 0);
  EXPECT_TRUE(passes(label));
  label[0] = 0xE5;
  std::memset(&label[14], 0, 4);
  EXPECT_TRUE(passes(label));
  // Double-byte names: high bytes in pairs.
  Entry paired = ShortEntry("\x82\xA0\x82\xA2    TXT");
  EXPECT_TRUE(passes(paired));
  Entry unpaired = ShortEntry("\x82" "ABC    TXT");
  EXPECT_FALSE(passes(unpaired));
  Entry deletedPair = ShortEntry("\xE5\x82\xA0     TXT");
  EXPECT_TRUE(passes(deletedPair));
  // Bytes 1-14 repeated at 17-30 is a fill pattern, even when each field looks plausible.
  Entry pattern{};
  std::memset(pattern.data(), 'P', 11);
  pattern[11] = 0x20;
  pattern[12] = pattern[13] = pattern[14] = 0x10;
  std::memcpy(&pattern[17], &pattern[1], 14);
  pattern[16] = 0x50;
  ASSERT_TRUE(IsPlausibleDirEntry(pattern.data()));
  EXPECT_FALSE(passes(pattern));
}

TEST(IsFatDirectorySector, LongNameRunsCarryOneChecksum) {
  Entry shortEntry = ShortEntry("PHOTOO~1JPG");
  const uint8_t sum = FatDirEntry(shortEntry.data()).ShortNameChecksum();
  auto good = Sector({LongEntry(0x42, sum, "y photo.jpg"), LongEntry(0x01, sum, "my holida"), shortEntry});
  EXPECT_TRUE(IsFatDirectorySector(good.data(), good.size()));

  auto otherSum = Sector({LongEntry(0x42, sum, "y photo.jpg"), LongEntry(0x01, uint8_t(sum + 1), "x"),
                          shortEntry});
  EXPECT_FALSE(IsFatDirectorySector(otherSum.data(), otherSum.size()));

  // The closing 8.3 entry carries another checksum: rejected unless it is deleted.
  auto wrongClose = Sector({LongEntry(0x41, uint8_t(sum + 1), "photo.jpg"), shortEntry});
  EXPECT_FALSE(IsFatDirectorySector(wrongClose.data(), wrongClose.size()));
  Entry deleted = shortEntry;
  deleted[0] = 0xE5;
  auto deletedClose = Sector({LongEntry(0x41, uint8_t(sum + 1), "photo.jpg"), deleted});
  EXPECT_TRUE(IsFatDirectorySector(deletedClose.data(), deletedClose.size()));

  // A run still open at the end of the sector closes in the next one.
  std::vector<uint8_t> tail = Sector({});
  for (int i = 0; i < 15; ++i) std::memcpy(&tail[size_t(i) * 32], ShortEntry("FILE    TXT").data(), 32);
  std::memcpy(&tail[15 * 32], LongEntry(0x41, 0x33, "open run").data(), 32);
  EXPECT_TRUE(IsFatDirectorySector(tail.data(), tail.size()));
}

// Sectors of real folders written by mkfs.fat and mtools.
class RealFatFolders : public ::testing::TestWithParam<const char*> {};

TEST_P(RealFatFolders, FolderSectorsPassAndOthersDoNot) {
  auto image = test::ReadFileBytes(test::FixturePath(GetParam()));
  ASSERT_GT(image.size(), 1u << 20);
  FatBootSector boot(ByteView(image.data(), 512));
  ASSERT_TRUE(boot.IsFat());
  const size_t bps = boot.BytesPerSector();
  const size_t root = boot.ReservedSectors() + size_t(boot.NumberOfFats()) * boot.FatSize();
  const size_t data = root + boot.RootDirSectors();
  const size_t total = image.size() / bps;

  int directorySectors = 0, subdirectoryStarts = 0;
  for (size_t s = boot.ReservedSectors(); s < total; ++s) {
    const uint8_t* p = image.data() + s * bps;
    const bool dir = IsFatDirectorySector(p, bps);
    const bool start = IsSubdirectoryStart(p, bps);
    directorySectors += dir;
    subdirectoryStarts += start;
    // The FAT itself and file contents are never taken for folders.
    if (s < root) {
      EXPECT_FALSE(dir) << "FAT sector " << s;
    }
  }
  // Root (label, long names, deleted entries), SUBDIR's 41 entries over several sectors, Photos.
  EXPECT_EQ(subdirectoryStarts, 2);
  EXPECT_GE(directorySectors, 4);

  // Every used root-folder sector passes (FAT16 root region; FAT32 root in the data area).
  if (boot.RootDirSectors() > 0) {
    const uint8_t* p = image.data() + root * bps;
    EXPECT_TRUE(IsFatDirectorySector(p, bps));
    for (size_t i = 0; i < bps; i += 32)
      if (p[i] != 0) {
        EXPECT_TRUE(IsPlausibleDirEntry(p + i)) << "root entry " << i / 32;
      }
  }
  (void)data;
}

INSTANTIATE_TEST_SUITE_P(Images, RealFatFolders,
                         ::testing::Values("fatdirs-fat16.img", "fatdirs-fat32.img"));

// Folders of images from the shared collection: every used root-folder sector passes.
TEST(SharedFatImages, RootFolderSectorsPass) {
  test::TempDir dir;
  for (const char* name : {"dfir_ntfs/fat12.raw.gz", "dfir_ntfs/fat16.raw.gz"}) {
    const std::string path = test::GunzipSharedImage(name, dir.path());
    if (path.empty()) GTEST_SKIP() << "shared images not here";
    auto image = test::ReadFileBytes(path);
    FatBootSector boot(ByteView(image.data(), image.size()));
    ASSERT_TRUE(boot.IsFat()) << name;
    const size_t bps = boot.BytesPerSector();
    const size_t root = boot.ReservedSectors() + size_t(boot.NumberOfFats()) * boot.FatSize();
    int used = 0;
    for (size_t s = root; s < root + boot.RootDirSectors(); ++s) {
      const uint8_t* p = image.data() + s * bps;
      if (p[0] == 0) continue;
      ++used;
      EXPECT_TRUE(IsFatDirectorySector(p, bps)) << name << " sector " << s;
    }
    EXPECT_GT(used, 0) << name;
  }
  const std::string sector = test::SharedTestData("dfir_ntfs/fat_dir_alfn_dsfn.bin");
  if (!sector.empty()) {
    auto bytes = test::ReadFileBytes(sector);
    EXPECT_TRUE(IsFatDirectorySector(bytes.data(), 512));
  }
}

// A real folder whose names have 20 long-name pieces, the most a 255-character name needs: every
// sector of it passes.
TEST(SharedFatImages, NamesOfTwentyPiecesPass) {
  const std::string path = test::SharedTestData("dfir_ntfs/fat32_dirent_verylong.bin");
  if (path.empty()) GTEST_SKIP() << "shared images not here";
  auto bytes = test::ReadFileBytes(path);
  ASSERT_GE(bytes.size(), 512u);
  EXPECT_EQ(bytes[0], 0x40 | 20);
  for (size_t at = 0; at + 512 <= bytes.size(); at += 512)
    EXPECT_TRUE(IsFatDirectorySector(bytes.data() + at, 512)) << "sector " << at / 512;
}

}  // namespace
}  // namespace salvora
