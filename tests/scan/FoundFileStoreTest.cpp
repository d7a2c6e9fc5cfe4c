#include "scan/FoundFileStore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "scan/ExtensionLists.h"
#include "scan/ScanLogCatalogue.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {
namespace fs = std::filesystem;

// Appends one record the way an engine does and returns its number.
uint32_t Add(FoundFileStore& store, uint32_t parent, uint32_t depth, uint32_t id,
             const std::string& name, bool folder, uint32_t contentCheck = 1) {
  uint32_t number = 0;
  FoundFileRecord* slot = store.AppendRecord(number);
  EXPECT_NE(slot, nullptr);
  if (!slot) return 0;
  slot->SetRecordNumber(number);
  slot->SetObjectId(id);
  slot->SetFolder(folder);
  slot->SetContentCheck(contentCheck);
  slot->SetName(name);
  store.AddRelation(parent, depth, number, id, folder ? name.c_str() : nullptr);
  return number;
}

std::vector<std::string> Names(const std::vector<FoundFileRecord>& records) {
  std::vector<std::string> names;
  for (const auto& r : records) names.emplace_back(r.Name());
  return names;
}

std::string ReadText(const std::string& path) {
  auto bytes = test::ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

class FoundFileStoreTest : public ::testing::Test {
 protected:
  test::TempDir dir_;
  std::string folder_ = dir_.path() + "/1/";
};

TEST_F(FoundFileStoreTest, OpenLogMakesTheThreeFilesInTheSessionFolder) {
  test::ScopedDataDir data;
  ScanLogCatalogue::Instance().NewSession();
  FoundFileStore store;
  ASSERT_EQ(store.OpenLog("Fast_0_20261279 5"), 0);
  std::string session = ScanLogCatalogue::Instance().SessionFolder();
  EXPECT_EQ(session, data.path() + "/SalvoraData/ScanLog/1/");
  EXPECT_TRUE(fs::exists(session + "Fast_0_20261279 5"));
  EXPECT_TRUE(fs::exists(session + "Fast_0_20261279 5_Relation"));
  EXPECT_TRUE(fs::exists(session + "Fast_0_20261279 5_DirInfo"));
  EXPECT_EQ(store.Count(), 0u);
}

TEST_F(FoundFileStoreTest, RejectsNamesThatLeaveTheFolder) {
  FoundFileStore store;
  EXPECT_EQ(store.OpenLogIn(folder_, "../x"), kInvalidParameter);
  EXPECT_EQ(store.OpenLogIn(folder_, ""), kInvalidParameter);
  EXPECT_FALSE(store.IsOpen());
  std::vector<FoundFileRecord> out;
  EXPECT_EQ(store.ListChildren(0, out), 0);
  EXPECT_TRUE(out.empty());
  uint32_t n = 7;
  EXPECT_EQ(store.AppendRecord(n), nullptr);
  EXPECT_EQ(n, 0u);
}

TEST_F(FoundFileStoreTest, AppendNumbersRecordsFromOneAndSlotsStartZeroFilled) {
  FoundFileStore store;
  ASSERT_EQ(store.OpenLogIn(folder_, "log"), 0);
  uint32_t first = 0, second = 0;
  FoundFileRecord* a = store.AppendRecord(first);
  ASSERT_NE(a, nullptr);
  for (size_t i = 0; i < FoundFileRecord::kSize; ++i) ASSERT_EQ(a->bytes()[i], 0) << i;
  a->SetName("a");
  ASSERT_NE(store.AppendRecord(second), nullptr);
  EXPECT_EQ(first, 1u);
  EXPECT_EQ(second, 2u);
  EXPECT_EQ(store.Count(), 2u);
  ASSERT_EQ(store.Flush(), 0);
  EXPECT_EQ(fs::file_size(store.RecordPath()), 2 * FoundFileRecord::kSize);
  FoundFileRecord back;
  ASSERT_EQ(store.ReadRecord(2, back), 0);
  for (size_t i = 0; i < FoundFileRecord::kSize; ++i) ASSERT_EQ(back.bytes()[i], 0) << i;
  EXPECT_EQ(store.ReadRecord(3, back), kReadFault);
  EXPECT_EQ(store.ReadRecord(0, back), kReadFault);
}

TEST_F(FoundFileStoreTest, TwoHundredAndOneAppendsWriteTheBufferOnceBeforeTheLastSlot) {
  FoundFileStore store;
  ASSERT_EQ(store.OpenLogIn(folder_, "log"), 0);
  uint32_t n = 0;
  for (int i = 0; i < 200; ++i) ASSERT_NE(store.AppendRecord(n), nullptr);
  EXPECT_EQ(store.RecordWrites(), 0u);
  EXPECT_EQ(fs::file_size(store.RecordPath()), 0u);
  ASSERT_NE(store.AppendRecord(n), nullptr);
  EXPECT_EQ(store.RecordWrites(), 1u);
  EXPECT_EQ(fs::file_size(store.RecordPath()), 200 * FoundFileRecord::kSize);
  EXPECT_EQ(n, 201u);
}

TEST_F(FoundFileStoreTest, RelationFileTextFollowsKeyOrder) {
  FoundFileStore store;
  ASSERT_EQ(store.OpenLogIn(folder_, "log"), 0);
  uint32_t n = 0;
  for (int i = 0; i < 5; ++i) store.AppendRecord(n);
  store.AddRelation(2, 1, 3, 0, nullptr);
  store.AddRelation(2, 0, 1, 0, nullptr);
  store.AddRelation(2, 0, 2, 0, nullptr);
  store.AddRelation(2, 0, 5, 0, nullptr);
  ASSERT_EQ(store.Flush(), 0);
  EXPECT_EQ(ReadText(store.RelationPath()), " | 2 - [1,2,5] | 4294967298 - [3]");
}

TEST_F(FoundFileStoreTest, ListChildrenSortsFilesFirstThenNamesIgnoringCase) {
  FoundFileStore store;
  ASSERT_EQ(store.OpenLogIn(folder_, "log"), 0);
  Add(store, 2, 0, 10, "b", true);
  Add(store, 2, 0, 11, "A", true);
  Add(store, 2, 0, 12, "z", false);
  std::vector<FoundFileRecord> out;
  ASSERT_EQ(store.ListChildren(MakeRelationKey(0, 2), out), 0);
  EXPECT_EQ(Names(out), (std::vector<std::string>{"z", "A", "b"}));
  out.clear();
  ASSERT_EQ(store.ListChildren(0, out), 0);  // key 0: the first map entry
  EXPECT_EQ(out.size(), 3u);
}

TEST_F(FoundFileStoreTest, EmptyFolderListsNothingAndLeavesTheMapAlone) {
  FoundFileStore store;
  ASSERT_EQ(store.OpenLogIn(folder_, "log"), 0);
  Add(store, 2, 0, 10, "empty", true);
  ASSERT_EQ(store.Flush(), 0);
  std::string before = ReadText(store.RelationPath());
  auto mapBefore = store.Relations();
  std::vector<FoundFileRecord> out;
  EXPECT_EQ(store.ListChildren(MakeRelationKey(1, 10), out), 0);
  EXPECT_TRUE(out.empty());
  int count = -1;
  EXPECT_EQ(store.CountFiles(MakeRelationKey(1, 10), count), 0);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(store.Relations(), mapBefore);
  EXPECT_EQ(ReadText(store.RelationPath()), before);
}

TEST_F(FoundFileStoreTest, PicturesFailingTheContentCheckAreHiddenButCounted) {
  FoundFileStore store;
  ASSERT_EQ(store.OpenLogIn(folder_, "log"), 0);
  Add(store, 2, 0, 20, "x.jpg", false, 0);
  Add(store, 2, 0, 21, "y.jpg", false, 1);
  Add(store, 2, 0, 22, "notes.txt", false, 0);  // not a picture: shown whatever the check says
  Add(store, 2, 0, 23, "README", false, 0);
  std::vector<FoundFileRecord> out;
  ASSERT_EQ(store.ListChildren(0, out), 0);
  EXPECT_EQ(Names(out), (std::vector<std::string>{"notes.txt", "README", "y.jpg"}));
  out.clear();
  EXPECT_EQ(store.SearchByExtension("*.jpg|", out), 1);
  EXPECT_EQ(Names(out), (std::vector<std::string>{"y.jpg"}));
  int count = 0;
  ASSERT_EQ(store.CountFiles(0, count), 0);
  EXPECT_EQ(count, 4);
}

TEST_F(FoundFileStoreTest, ReopenedLogHasTheSameMapsAndNumbersOnAfterItsRecords) {
  FoundFileStore::RelationMap relations;
  std::vector<FolderInfo> folders;
  {
    FoundFileStore store;
    ASSERT_EQ(store.OpenLogIn(folder_, "log"), 0);
    Add(store, 2, 0, 10, "DCIM", true);
    Add(store, 10, 1, 11, "a.jpg", false);
    Add(store, 10, 1, 12, "b.jpg", false);
    relations = store.Relations();
    folders = store.Folders();
  }
  FoundFileStore store;
  ASSERT_EQ(store.OpenLogIn(folder_, "log"), 0);
  EXPECT_EQ(store.Relations(), relations);
  EXPECT_EQ(store.Folders(), folders);
  EXPECT_EQ(store.Count(), 0u);
  EXPECT_EQ(store.TotalRecords(), 3u);
  uint32_t n = Add(store, 10, 1, 13, "c.jpg", false);
  EXPECT_EQ(n, 4u);
  EXPECT_EQ(store.Count(), 1u);
  std::vector<FoundFileRecord> out;
  ASSERT_EQ(store.ListChildren(MakeRelationKey(1, 10), out), 0);
  EXPECT_EQ(Names(out), (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg"}));
}

TEST_F(FoundFileStoreTest, FullPathClimbsFolderInfoAndNamesLostFolders) {
  FoundFileStore store;
  ASSERT_EQ(store.OpenLogIn(folder_, "log"), 0);
  Add(store, 2, 0, 10, "DCIM", true);
  Add(store, 10, 1, 11, "100CANON", true);
  uint32_t photo = Add(store, 11, 2, 50, "IMG_1.JPG", false);
  Add(store, 2, 0, 7, "seven.bin", false);  // a non-folder that carries object id 7
  uint32_t orphan = Add(store, 7, 1, 60, "orphan.txt", false);
  FoundFileRecord record;
  ASSERT_EQ(store.ReadRecord(photo, record), 0);
  std::string path;
  EXPECT_EQ(store.GetFullPath(record, path, 260), 0);
  EXPECT_EQ(path, "DCIM\\100CANON\\");
  ASSERT_EQ(store.ReadRecord(orphan, record), 0);
  EXPECT_EQ(store.GetFullPath(record, path, 260), 0);
  EXPECT_EQ(path, "LostFolder7\\");
  ASSERT_EQ(store.ReadRecord(1, record), 0);
  EXPECT_EQ(store.GetFullPath(record, path, 260), 0);
  EXPECT_EQ(path, "");
}

TEST_F(FoundFileStoreTest, SearchTestsLowerCaseExtensionsAsSubstringsOfTheText) {
  FoundFileStore store;
  ASSERT_EQ(store.OpenLogIn(folder_, "log"), 0);
  Add(store, 2, 0, 1, "B.JPG", false);
  Add(store, 2, 0, 2, "a.pg", false);      // "pg" occurs in "*.jpg|"
  Add(store, 2, 0, 3, "noext", false);     // never found
  Add(store, 2, 0, 4, "dir.jpg", true);    // folders are not searched
  Add(store, 2, 0, 5, "song.mp3", false);
  Add(store, 2, 0, 6, "trail.", false);
  std::vector<FoundFileRecord> out;
  EXPECT_EQ(store.SearchByExtension(PictureExtensions, out), 1);
  EXPECT_EQ(Names(out), (std::vector<std::string>{"a.pg", "B.JPG"}));
  out.clear();
  EXPECT_EQ(store.SearchByExtension(AudioExtensions, out), 1);
  EXPECT_EQ(Names(out), (std::vector<std::string>{"song.mp3"}));
  out.clear();
  EXPECT_EQ(store.SearchByExtension("*.JPG|", out), 1);  // the text is not lower-cased
  EXPECT_TRUE(out.empty());
  FoundFileStore closed;
  EXPECT_EQ(closed.SearchByExtension(PictureExtensions, out), 0);
}

struct Progress {
  std::vector<int> percents;
  int stopAfter = 1000;
};

int OnSearch(void* user, int percent, int zero) {
  auto* p = static_cast<Progress*>(user);
  EXPECT_EQ(zero, 0);
  p->percents.push_back(percent);
  return int(p->percents.size()) >= p->stopAfter ? 1 : 0;
}

TEST_F(FoundFileStoreTest, SearchReportsProgressPerPieceAndStopsWhenAsked) {
  FoundFileStore store;
  ASSERT_EQ(store.OpenLogIn(folder_, "log"), 0);
  for (int i = 0; i < 500; ++i) Add(store, 2, 0, 1000 + i, "p" + std::to_string(i) + ".png", false);
  Progress progress;
  store.SetSearchCallback(OnSearch, &progress);
  std::vector<FoundFileRecord> out;
  EXPECT_EQ(store.SearchByExtension("*.png|", out), 1);
  EXPECT_EQ(progress.percents, (std::vector<int>{40, 80, 100}));  // pieces of 200 records
  EXPECT_EQ(out.size(), 500u);
  progress = Progress{{}, 1};
  out.clear();
  EXPECT_EQ(store.SearchByExtension("*.png|", out), 1);
  EXPECT_EQ(out.size(), 200u);
}

TEST_F(FoundFileStoreTest, FindFolderRecordPrefersTheFirstFolderWithTheId) {
  FoundFileStore store;
  ASSERT_EQ(store.OpenLogIn(folder_, "log"), 0);
  Add(store, 2, 0, 9, "file9", false);
  Add(store, 2, 0, 9, "dir9", true);
  Add(store, 2, 0, 8, "file8", false);
  FoundFileRecord r;
  EXPECT_EQ(store.FindFolderRecord(9, r), 0);
  EXPECT_EQ(r.Name(), "dir9");
  EXPECT_EQ(store.FindFolderRecord(8, r), kInvalidParameter);
  EXPECT_EQ(r.Name(), "file8");  // the non-folder match is still copied out
  Add(store, 2, 0, 8, "dir8", true);  // a new record makes earlier answers stale
  EXPECT_EQ(store.FindFolderRecord(8, r), 0);
  EXPECT_EQ(r.Name(), "dir8");
}

TEST_F(FoundFileStoreTest, PathIsLimitedToMaxCharsOnACharacterBoundary) {
  FoundFileStore store;
  ASSERT_EQ(store.OpenLogIn(folder_, "log"), 0);
  Add(store, 2, 0, 10, "\xc3\xa9t\xc3\xa9", true);  // "été"
  uint32_t file = Add(store, 10, 1, 11, "x.txt", false);
  FoundFileRecord r;
  ASSERT_EQ(store.ReadRecord(file, r), 0);
  std::string path;
  store.GetFullPath(r, path, 260);
  EXPECT_EQ(path, "\xc3\xa9t\xc3\xa9\\");
  store.GetFullPath(r, path, 2);
  EXPECT_EQ(path, "\xc3\xa9t");
}

}  // namespace
}  // namespace salvora
