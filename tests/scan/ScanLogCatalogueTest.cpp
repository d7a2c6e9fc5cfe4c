#include "scan/ScanLogCatalogue.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/Clock.h"
#include "platform/ErrorCodes.h"
#include "scan/FoundFileStore.h"
#include "scan/ScanLogName.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {
namespace fs = std::filesystem;

void Touch(const std::string& path, const std::string& text = "x") {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

ResumePosition Position(uint64_t base) { return {base, base + 1, base + 2, base + 3, base + 4}; }

// Points disk number 0 at an image file for the lifetime of the object.
class ScopedDiskMap {
 public:
  explicit ScopedDiskMap(const std::string& image) {
    ::setenv("SALVORA_DISK_MAP", ("0=" + image).c_str(), 1);
  }
  ~ScopedDiskMap() { ::unsetenv("SALVORA_DISK_MAP"); }
};

class ScanLogCatalogueTest : public ::testing::Test {
 protected:
  test::ScopedDataDir data_;
  std::string folder_ = data_.path() + "/SalvoraData/ScanLog";
  std::string Session(int n) const { return folder_ + "/" + std::to_string(n) + "/"; }
};

TEST(ScanLogNameTest, PadsOnlyTheMinuteWithASpace) {
  platform::LocalTime t;
  t.year = 2026;
  t.month = 12;
  t.day = 7;
  t.hour = 9;
  t.minute = 5;
  EXPECT_EQ(MakeScanLogName(kFastLogPrefix, 2048, t), "Fast_2048_20261279 5");
  t.minute = 45;
  t.hour = 23;
  EXPECT_EQ(MakeScanLogName("Pro_Ntfs_", 0, t), "Pro_Ntfs_0_20261272345");
  EXPECT_EQ(MakeScanLogName(kFileTypeLogPrefix, 1ull << 40, t), "File_Type_1099511627776_20261272345");
}

TEST_F(ScanLogCatalogueTest, FirstStartHasCounterZeroAndFirstSessionIsOne) {
  ScanLogCatalogue& catalogue = ScanLogCatalogue::Instance();
  EXPECT_EQ(catalogue.Folder(), folder_);
  EXPECT_EQ(catalogue.Counter(), 0u);
  EXPECT_TRUE(catalogue.Entries().empty());
  catalogue.NewSession();
  EXPECT_EQ(catalogue.SessionFolder(), Session(1));
  catalogue.UndoNewSession();
  EXPECT_EQ(catalogue.SessionFolder(), Session(0));
}

TEST_F(ScanLogCatalogueTest, NewSessionStartsFromAnEmptyFolder) {
  fs::create_directories(Session(1));
  Touch(Session(1) + "Fast_0_20261279 5");
  ScanLogCatalogue catalogue(folder_);
  catalogue.NewSession();
  EXPECT_FALSE(fs::exists(Session(1)));
}

// Two catalogues on one folder stand for two programs running at once.
TEST_F(ScanLogCatalogueTest, ProgramsRunningAtOnceNeverShareOrEmptyASession) {
  ScanLogCatalogue first(folder_), second(folder_);
  first.NewSession();
  fs::create_directories(first.SessionFolder());
  Touch(first.SessionFolder() + "Fast_0_20261279 5");
  second.NewSession();
  EXPECT_EQ(first.SessionFolder(), Session(1));
  EXPECT_EQ(second.SessionFolder(), Session(2));
  EXPECT_TRUE(fs::exists(Session(1) + "Fast_0_20261279 5"));
  // A later program continues the numbering; a number given back is handed out again.
  ScanLogCatalogue third(folder_);
  third.NewSession();
  EXPECT_EQ(third.SessionFolder(), Session(3));
  third.UndoNewSession();
  ScanLogCatalogue fourth(folder_);
  fourth.NewSession();
  EXPECT_EQ(fourth.SessionFolder(), Session(3));
  // Giving a number back does not undo another program's later one.
  second.UndoNewSession();
  ScanLogCatalogue fifth(folder_);
  fifth.NewSession();
  EXPECT_EQ(fifth.SessionFolder(), Session(4));
}

TEST_F(ScanLogCatalogueTest, ScansSavedByTwoProgramsAtOnceAreBothKept) {
  Touch(data_.path() + "/a.img");
  Touch(data_.path() + "/b.img");
  ScanLogCatalogue first(folder_), second(folder_);
  first.NewSession();
  second.NewSession();
  ASSERT_EQ(first.SaveProgress(0, 128, 0, 1, Position(1), first.SessionFolder(), data_.path() + "/a.img"), 0);
  ASSERT_EQ(second.SaveProgress(0, 128, 0, 1, Position(2), second.SessionFolder(), data_.path() + "/b.img"), 0);
  EXPECT_EQ(ScanLogCatalogue(folder_).Entries().size(), 2u);
  EXPECT_EQ(first.SessionFolder(), Session(1)) << "a program's running session keeps its number";
  // Removing one program's scan leaves the other's.
  ASSERT_EQ(first.RemoveSession(first.SessionFolder()), 0);
  ScanLogCatalogue later(folder_);
  ASSERT_EQ(later.Entries().size(), 1u);
  EXPECT_EQ(later.Entries()[0].Resume().rangeStart, 2u);
}

TEST_F(ScanLogCatalogueTest, NewSessionNeverEmptiesTheFolderOfASavedScan) {
  Touch(data_.path() + "/a.img");
  {
    ScanLogCatalogue catalogue(folder_);
    catalogue.NewSession();
    catalogue.NewSession();
    fs::create_directories(Session(2));
    Touch(Session(2) + "Pro_Fat_0_20261279 5");
    ASSERT_EQ(catalogue.SaveProgress(0, 128, 0, 1, Position(1), Session(2), data_.path() + "/a.img"), 0);
  }
  // A config whose counter went back to 1 (written by an older run, say).
  auto bytes = test::ReadFileBytes(folder_ + "/config");
  bytes[0] = 1;
  test::WriteFileBytes(folder_ + "/config", bytes);
  ScanLogCatalogue catalogue(folder_);
  catalogue.NewSession();
  EXPECT_EQ(catalogue.SessionFolder(), Session(3));
  EXPECT_TRUE(fs::exists(Session(2) + "Pro_Fat_0_20261279 5"));
  EXPECT_EQ(catalogue.Entries().size(), 1u);
}

TEST_F(ScanLogCatalogueTest, ImageScanIsSavedAndFoundAgainByAnyPathToTheImage) {
  std::string image = data_.path() + "/card.img";
  Touch(image, std::string(4096, 'a'));
  {
    ScanLogCatalogue catalogue(folder_);
    catalogue.NewSession();
    catalogue.NewSession();
    fs::create_directories(Session(2));
    ASSERT_EQ(catalogue.SaveProgress(0, 128, 0, 8, Position(10), catalogue.SessionFolder(), image), 0);
  }
  std::string cwd = fs::current_path();
  fs::current_path(data_.path());
  ScanLogCatalogue catalogue(folder_);
  ScanSessionEntry entry;
  int found = catalogue.LookupImage("./card.img", entry);
  fs::current_path(cwd);
  ASSERT_EQ(found, 1);
  EXPECT_EQ(catalogue.Counter(), 2u);
  EXPECT_EQ(entry.DiskNumber(), 128u);
  EXPECT_EQ(entry.ImagePath(), fs::canonical(image).string());
  EXPECT_EQ(entry.SessionFolder(), Session(2));
  EXPECT_EQ(entry.Resume().rangeStart, 10u);
  EXPECT_EQ(entry.Resume().foundBefore, 14u);
  EXPECT_EQ(entry.FreeBytes(), 0u);
  EXPECT_NE(entry.ImageWriteTime(), 0u);
  EXPECT_TRUE(catalogue.Found());
  EXPECT_EQ(catalogue.SessionFolder(), Session(2));

  // Saving again for the same session replaces the position, with no second entry.
  ASSERT_EQ(catalogue.SaveProgress(0, 128, 0, 8, Position(50), Session(2), image), 0);
  ScanLogCatalogue reread(folder_);
  ASSERT_EQ(reread.Entries().size(), 1u);
  EXPECT_EQ(reread.Entries()[0].Resume().rangeSwept, 52u);
}

TEST_F(ScanLogCatalogueTest, ChangedImageIsScannedAfreshAndItsOldSessionDeleted) {
  std::string image = data_.path() + "/card.img";
  Touch(image);
  ScanLogCatalogue catalogue(folder_);
  catalogue.NewSession();
  fs::create_directories(Session(1));
  Touch(Session(1) + "Pro_Fat_0_20261279 5");
  ASSERT_EQ(catalogue.SaveProgress(0, 128, 0, 1, Position(1), Session(1), image), 0);
  fs::last_write_time(image, fs::last_write_time(image) + std::chrono::seconds(5));
  ScanSessionEntry entry;
  EXPECT_EQ(catalogue.LookupImage(image, entry), 0);
  EXPECT_FALSE(fs::exists(Session(1)));
  EXPECT_TRUE(catalogue.Entries().empty());
  EXPECT_TRUE(ScanLogCatalogue(folder_).Entries().empty());  // gone from config as well
}

TEST_F(ScanLogCatalogueTest, PartitionIsIdentifiedByItsContentWhenNotMounted) {
  std::string image = data_.path() + "/disk.img";
  Touch(image, std::string(3 << 20, '\0'));
  ScopedDiskMap map(image);
  ScanLogCatalogue catalogue(folder_);
  catalogue.NewSession();
  fs::create_directories(Session(1));
  ASSERT_EQ(catalogue.SaveProgress(u'E', 0, 2048, 4096, Position(7), Session(1), ""), 0);
  ASSERT_EQ(catalogue.Entries().size(), 1u);
  EXPECT_EQ(catalogue.Entries()[0].DiskNumber(), 0u);
  EXPECT_TRUE(catalogue.Entries()[0].ImagePath().empty());

  ScanSessionEntry entry;
  EXPECT_EQ(catalogue.LookupPartition(u'E', 0, 2048, 4096, entry), 1);
  EXPECT_EQ(entry.Resume().totalSwept, 10u);
  EXPECT_EQ(catalogue.LookupPartition(u'E', 0, 2048, 4095, entry), 0);  // another window

  // A change past the first MiB of the partition is not looked at; one inside it is.
  {
    std::fstream f(image, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(2048 * 512 + (1 << 20) + 10);
    f.put('z');
  }
  EXPECT_EQ(catalogue.LookupPartition(u'E', 0, 2048, 4096, entry), 1);
  {
    std::fstream f(image, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(2048 * 512 + 1000);
    f.put('z');
  }
  EXPECT_EQ(catalogue.LookupPartition(u'E', 0, 2048, 4096, entry), 0);
  EXPECT_FALSE(catalogue.Found());
  EXPECT_FALSE(fs::exists(Session(1)));
  EXPECT_TRUE(catalogue.Entries().empty());
}

TEST_F(ScanLogCatalogueTest, SavingTheRunningSessionKeepsItsLogsWhenTheSourceChangedMeanwhile) {
  std::string image = data_.path() + "/card.img";
  Touch(image);
  ScanLogCatalogue catalogue(folder_);
  catalogue.NewSession();
  fs::create_directories(Session(1));
  Touch(Session(1) + "File_Type_0_20261279 5");
  ASSERT_EQ(catalogue.SaveProgress(0, 128, 0, 1, Position(1), Session(1), image), 0);
  fs::last_write_time(image, fs::last_write_time(image) + std::chrono::seconds(5));
  ASSERT_EQ(catalogue.SaveProgress(0, 128, 0, 1, Position(2), Session(1), image), 0);
  EXPECT_TRUE(fs::exists(Session(1) + "File_Type_0_20261279 5"));
  ASSERT_EQ(catalogue.Entries().size(), 1u);
  ScanSessionEntry entry;
  EXPECT_EQ(catalogue.LookupImage(image, entry), 1);
  EXPECT_EQ(entry.Resume().rangeStart, 2u);
}

TEST_F(ScanLogCatalogueTest, UpdateResumeMovesOnlyThePositionOfThatSession) {
  std::string image = data_.path() + "/card.img";
  Touch(image);
  ScanLogCatalogue catalogue(folder_);
  catalogue.NewSession();
  ASSERT_EQ(catalogue.SaveProgress(0, 128, 0, 1, Position(1), Session(1), image), 0);
  const uint64_t savedTime = catalogue.Entries()[0].ImageWriteTime();
  EXPECT_EQ(catalogue.UpdateResume(Session(2), Position(9)), kInvalidParameter);
  // The source is described as it was saved: a checkpoint never re-reads it.
  fs::last_write_time(image, fs::last_write_time(image) + std::chrono::seconds(5));
  ASSERT_EQ(catalogue.UpdateResume(Session(1), Position(3)), 0);
  ScanLogCatalogue reread(folder_);
  ASSERT_EQ(reread.Entries().size(), 1u);
  EXPECT_EQ(reread.Entries()[0].Resume().rangeSwept, 5u);
  EXPECT_EQ(reread.Entries()[0].ImageWriteTime(), savedTime);
  EXPECT_EQ(reread.Counter(), 1u);
}

TEST_F(ScanLogCatalogueTest, LeftoverConfigTmpIsTakenAsTheCatalogue) {
  {
    ScanLogCatalogue catalogue(folder_);
    for (int i = 0; i < 3; ++i) catalogue.NewSession();
    Touch(data_.path() + "/a.img");
    ASSERT_EQ(catalogue.SaveProgress(0, 128, 0, 1, Position(1), Session(3), data_.path() + "/a.img"), 0);
  }
  fs::rename(folder_ + "/config", folder_ + "/config.tmp");
  ScanLogCatalogue catalogue(folder_);
  EXPECT_EQ(catalogue.Counter(), 3u);
  EXPECT_EQ(catalogue.Entries().size(), 1u);
  EXPECT_TRUE(fs::exists(folder_ + "/config"));
  EXPECT_FALSE(fs::exists(folder_ + "/config.tmp"));

  // With both present the rewrite had not finished: config holds, the partial file goes.
  Touch(folder_ + "/config.tmp", "partial");
  ScanLogCatalogue again(folder_);
  EXPECT_EQ(again.Counter(), 3u);
  EXPECT_FALSE(fs::exists(folder_ + "/config.tmp"));
}

TEST_F(ScanLogCatalogueTest, DamagedOrHostileConfigNeverDeletesOutsideTheScanLogFolder) {
  fs::create_directories(folder_);
  std::string victim = data_.path() + "/precious";
  fs::create_directories(victim);
  Touch(victim + "/keep.txt");
  ScanSessionEntry hostile;
  hostile.SetDiskNumber(128);
  ASSERT_TRUE(hostile.SetImagePath(data_.path() + "/gone.img"));
  ASSERT_TRUE(hostile.SetSessionFolder(victim + "/"));
  ScanSessionEntry dotted = hostile;
  ASSERT_TRUE(dotted.SetSessionFolder(folder_ + "/../../precious/"));
  ASSERT_TRUE(dotted.SetImagePath(data_.path() + "/other.img"));
  std::string bytes(8, '\0');
  bytes[0] = 5;
  bytes.append(reinterpret_cast<const char*>(hostile.bytes()), ScanSessionEntry::kSize);
  bytes.append(reinterpret_cast<const char*>(dotted.bytes()), ScanSessionEntry::kSize);
  bytes.append(300, '\x7f');  // a torn entry
  Touch(folder_ + "/config", bytes);
  Touch(data_.path() + "/gone.img");
  Touch(data_.path() + "/other.img");

  ScanLogCatalogue catalogue(folder_);
  EXPECT_EQ(catalogue.Counter(), 5u);
  EXPECT_EQ(catalogue.Entries().size(), 2u);
  ScanSessionEntry entry;
  EXPECT_EQ(catalogue.LookupImage(data_.path() + "/gone.img", entry), 0);
  EXPECT_EQ(catalogue.LookupImage(data_.path() + "/other.img", entry), 0);
  EXPECT_EQ(catalogue.RemoveSession(victim + "/"), 0);
  EXPECT_TRUE(fs::exists(victim + "/keep.txt"));
  EXPECT_TRUE(catalogue.Entries().empty());

  Touch(folder_ + "/config", "abc");  // shorter than the counter
  EXPECT_EQ(ScanLogCatalogue(folder_).Counter(), 0u);
}

TEST_F(ScanLogCatalogueTest, RemoveSessionMatchesTheFolderIgnoringCase) {
  ScanLogCatalogue catalogue(folder_);
  catalogue.NewSession();
  fs::create_directories(Session(1));
  Touch(data_.path() + "/a.img");
  ASSERT_EQ(catalogue.SaveProgress(0, 128, 0, 1, Position(1), Session(1), data_.path() + "/a.img"), 0);
  std::string upper = Session(1);
  for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(catalogue.RemoveSession(upper), 0);
  EXPECT_TRUE(catalogue.Entries().empty());
}

TEST_F(ScanLogCatalogueTest, FindLogReturnsTheRecordFileWhateverTheListingOrder) {
  std::string session = Session(4);
  fs::create_directories(session);
  // Companions made first, and a temporary file of an interrupted flush.
  Touch(session + "Fast_2048_20261279 5_Relation");
  Touch(session + "Fast_2048_20261279 5_DirInfo");
  Touch(session + ".Fast_2048_20261279 5_Relation.tmp");
  Touch(session + "Pro_Fat_2048_20261279 5_DirInfo");
  Touch(session + "Fast_2048_20261279 5");
  Touch(session + "Pro_Fat_2048_20261279 5");
  ScanLogCatalogue catalogue(folder_);
  std::string name;
  EXPECT_EQ(catalogue.FindLog(session, kFastLogPrefix, name), 0);
  EXPECT_EQ(name, "Fast_2048_20261279 5");
  EXPECT_EQ(catalogue.FindLog(session, "Pro_Fat_", name), 0);
  EXPECT_EQ(name, "Pro_Fat_2048_20261279 5");
  EXPECT_EQ(catalogue.FindLog(session, "Pro_Ntfs_", name), 0);
  EXPECT_EQ(name, "");
  EXPECT_NE(catalogue.FindLog(Session(9), kFastLogPrefix, name), 0);
}

TEST_F(ScanLogCatalogueTest, EntryLayoutAndPathLimits) {
  ScanSessionEntry entry;
  entry.SetDiskNumber(3);
  entry.SetPartitionStart(0x1122334455667788ull);
  entry.SetFreeBytes(9);
  ASSERT_TRUE(entry.SetImagePath("/a\xc3\xa9"));
  ASSERT_TRUE(entry.SetSessionFolder("/s/"));
  const uint8_t* b = entry.bytes();
  EXPECT_EQ(b[0], 3);
  EXPECT_EQ(b[8], 0x88);
  EXPECT_EQ(b[64], 9);
  EXPECT_EQ(b[80], '/');
  EXPECT_EQ(b[84], 0xE9);  // U+00E9 as UTF-16LE
  EXPECT_EQ(b[85], 0x00);
  EXPECT_EQ(b[600], '/');
  EXPECT_EQ(entry.ImagePath(), "/a\xc3\xa9");
  EXPECT_FALSE(entry.SetImagePath(std::string(260, 'x')));
  EXPECT_TRUE(entry.SetImagePath(std::string(259, 'x')));
  EXPECT_EQ(entry.SessionFolder(), "/s/");
}

TEST_F(ScanLogCatalogueTest, StoreOpensItsLogInTheCurrentSession) {
  ScanLogCatalogue& catalogue = ScanLogCatalogue::Instance();
  catalogue.NewSession();
  FoundFileStore store;
  ASSERT_EQ(store.OpenLog(MakeScanLogName(kFastLogPrefix, 63)), 0);
  std::string name;
  ASSERT_EQ(catalogue.FindLog(catalogue.SessionFolder(), kFastLogPrefix, name), 0);
  EXPECT_EQ(catalogue.SessionFolder() + name, store.RecordPath());
}

}  // namespace
}  // namespace salvora
