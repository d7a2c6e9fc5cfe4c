// The store's files as a scan log that outlives the process: flushing, reopening, and logs that
// were damaged or written by someone else.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/FileIo.h"
#include "scan/FoundFileStore.h"
#include "scan/RelationText.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {
namespace fs = std::filesystem;

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string ReadText(const std::string& path) {
  auto bytes = test::ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// The 346-byte form of a record, as logs written before records grew hold it.
void AppendLegacy(std::vector<uint8_t>& bytes, const FoundFileRecord& r) {
  uint8_t legacy[FoundFileRecord::kLegacySize];
  r.StoreLegacy(legacy);
  bytes.insert(bytes.end(), legacy, legacy + sizeof legacy);
}

// An old record file (no format note) of n records numbered 1..n, object id 100 + k, named fk.bin.
void WriteRecords(const std::string& path, uint32_t n) {
  std::vector<uint8_t> bytes;
  for (uint32_t k = 1; k <= n; ++k) {
    FoundFileRecord r;
    r.SetRecordNumber(k);
    r.SetObjectId(100 + k);
    r.SetContentCheck(1);
    r.SetName("f" + std::to_string(k) + ".bin");
    AppendLegacy(bytes, r);
  }
  test::WriteFileBytes(path, bytes);
}

struct FileStamp {
  ino_t inode;
  timespec mtime;
};

FileStamp Stamp(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return {st.st_ino, st.st_mtim};
}

bool SameStamp(const FileStamp& a, const FileStamp& b) {
  return a.inode == b.inode && a.mtime.tv_sec == b.mtime.tv_sec && a.mtime.tv_nsec == b.mtime.tv_nsec;
}

class StoreLogFilesTest : public ::testing::Test {
 protected:
  test::TempDir dir_;
  std::string folder_ = dir_.path() + "/";
  std::string log_ = folder_ + "log";
};

TEST_F(StoreLogFilesTest, RelationTextRoundTripsAndDropsGarbage) {
  RelationLists lists{{2, {1, 2, 5}}, {MakeRelationKey(1, 2), {3}}};
  std::string text = FormatRelations(lists);
  RelationLists parsed;
  ParseRelations(text, parsed);
  EXPECT_EQ(parsed, lists);

  RelationLists garbage;
  ParseRelations(" | 7 - [1,x,0,99999999999,4] | nope - [5] | 8 - [] | 9 - [6,7", garbage);
  EXPECT_EQ(garbage, (RelationLists{{7, {1, 4}}, {9, {6}}}));

  RelationLists replaced;
  ParseRelations(" | 3 - [1] | 3 - [2,3]", replaced);
  EXPECT_EQ(replaced, (RelationLists{{3, {2, 3}}}));
}

TEST_F(StoreLogFilesTest, QueriesSkipRewritingFilesThatDidNotChange) {
  FoundFileStore store;
  ASSERT_EQ(store.OpenLogIn(folder_, "log"), 0);
  uint32_t n = 0;
  store.AppendRecord(n)->SetName("DCIM");
  store.AddRelation(2, 0, n, 10, "DCIM");
  ASSERT_EQ(store.Flush(), 0);
  FileStamp relation = Stamp(store.RelationPath());
  FileStamp folders = Stamp(store.FolderInfoPath());
  std::vector<FoundFileRecord> out;
  int count = 0;
  store.ListChildren(0, out);
  store.CountFiles(0, count);
  store.SearchByExtension("*.jpg|", out);
  EXPECT_TRUE(SameStamp(relation, Stamp(store.RelationPath())));
  EXPECT_TRUE(SameStamp(folders, Stamp(store.FolderInfoPath())));

  // A reopened intact log is not rewritten either.
  store.Close();
  ASSERT_EQ(store.OpenLogIn(folder_, "log"), 0);
  store.ListChildren(0, out);
  EXPECT_TRUE(SameStamp(relation, Stamp(store.RelationPath())));

  // A change is written by replacing the file, leaving no temporary file behind.
  store.AppendRecord(n)->SetName("a.jpg");
  store.AddRelation(10, 1, n, 11, nullptr);
  store.ListChildren(0, out);
  EXPECT_FALSE(SameStamp(relation, Stamp(store.RelationPath())));
  EXPECT_EQ(ReadText(store.RelationPath()), " | 2 - [1] | 4294967306 - [2]");
  EXPECT_FALSE(fs::exists(platform::ReplacingTempPath(store.RelationPath())));
  EXPECT_TRUE(SameStamp(folders, Stamp(store.FolderInfoPath())));
}

TEST_F(StoreLogFilesTest, GarbledLogIsNormalisedOnTheFirstFlush) {
  WriteRecords(log_, 3);
  WriteText(log_ + "_Relation", "junk | 5 - [1,2,zz] | 6 - [3");
  std::string partialFolder(FolderInfo::kSize + 100, 'x');  // one entry without a terminator + a torn one
  WriteText(log_ + "_DirInfo", partialFolder);
  FoundFileStore store;
  ASSERT_EQ(store.OpenLogIn(folder_, "log"), 0);
  EXPECT_EQ(store.Relations(), (FoundFileStore::RelationMap{{5, {1, 2}}}));
  ASSERT_EQ(store.Folders().size(), 1u);
  EXPECT_EQ(store.Folders()[0].Name().size(), FolderInfo::kNameBytes);
  ASSERT_EQ(store.Flush(), 0);
  EXPECT_EQ(ReadText(log_ + "_Relation"), " | 5 - [1,2]");
  EXPECT_EQ(fs::file_size(log_ + "_DirInfo"), FolderInfo::kSize);
  std::vector<FoundFileRecord> out;
  EXPECT_EQ(store.ListChildren(5, out), 0);
  EXPECT_EQ(out.size(), 2u);
}

TEST_F(StoreLogFilesTest, EntryPastTheEndOfTheRecordFileEndsTheListingWithAnError) {
  WriteRecords(log_, 2);
  WriteText(log_ + "_Relation", " | 9 - [1,4000000000,2] | 10 - [3]");
  FoundFileStore store;
  ASSERT_EQ(store.OpenLogIn(folder_, "log"), 0);
  std::vector<FoundFileRecord> out;
  EXPECT_EQ(store.ListChildren(9, out), kReadFault);
  ASSERT_EQ(out.size(), 1u);  // what was read before stays
  EXPECT_EQ(out[0].Name(), "f1.bin");
  int count = 0;
  EXPECT_EQ(store.CountFiles(9, count), kReadFault);
  EXPECT_EQ(count, 1);
  FoundFileRecord r;
  EXPECT_EQ(store.ReadRecord(3, r), kReadFault);
}

TEST_F(StoreLogFilesTest, TornLastRecordIsIgnoredAndOverwrittenByTheNextAppend) {
  WriteRecords(log_, 2);
  fs::resize_file(log_, 2 * FoundFileRecord::kLegacySize + 100);
  FoundFileStore store;
  ASSERT_EQ(store.OpenLogIn(folder_, "log"), 0);
  EXPECT_EQ(store.TotalRecords(), 2u);
  std::vector<FoundFileRecord> found;
  EXPECT_EQ(store.SearchByExtension("*.bin|", found), 1);
  EXPECT_EQ(found.size(), 2u);
  uint32_t n = 0;
  store.AppendRecord(n)->SetName("new.bin");
  EXPECT_EQ(n, 3u);
  ASSERT_EQ(store.Flush(), 0);
  EXPECT_EQ(fs::file_size(log_), 3 * FoundFileRecord::kLegacySize);
  FoundFileRecord r;
  ASSERT_EQ(store.ReadRecord(3, r), 0);
  EXPECT_EQ(r.Name(), "new.bin");
}

TEST_F(StoreLogFilesTest, LongNamesAreKeptWholeAndOldLogsStillReadAndGrow) {
  std::string longest;
  for (int i = 0; i < 250; ++i) longest += "\xE5\x86\x99";  // 250 x U+5199: 754 bytes
  longest += ".bin";
  // A new log keeps the name whole across a reopen, in any record of a block.
  {
    FoundFileStore store;
    ASSERT_EQ(store.OpenLogIn(folder_ + "new/", "log"), 0);
    uint32_t n = 0;
    for (int k = 0; k < 201; ++k) store.AppendRecord(n)->SetName(k == 200 ? longest : "f.bin");
  }
  FoundFileStore reopened;
  ASSERT_EQ(reopened.OpenLogIn(folder_ + "new/", "log"), 0);
  FoundFileRecord r;
  ASSERT_EQ(reopened.ReadRecord(201, r), 0);
  EXPECT_EQ(r.Name(), longest);
  std::vector<FoundFileRecord> found;
  reopened.SearchByExtension("*.bin|", found);
  EXPECT_EQ(found.size(), 201u);

  // An old log of 346-byte records reads as it did, and a record appended to it is written in its
  // size, the name cut on a character boundary to the 259 bytes it holds.
  WriteRecords(log_, 3);
  FoundFileStore old;
  ASSERT_EQ(old.OpenLogIn(folder_, "log"), 0);
  EXPECT_EQ(old.TotalRecords(), 3u);
  ASSERT_EQ(old.ReadRecord(2, r), 0);
  EXPECT_EQ(r.Name(), "f2.bin");
  EXPECT_EQ(r.ObjectId(), 102u);
  uint32_t n = 0;
  old.AppendRecord(n)->SetName(longest);
  ASSERT_EQ(old.Flush(), 0);
  EXPECT_EQ(fs::file_size(log_), 4 * FoundFileRecord::kLegacySize);
  ASSERT_EQ(old.ReadRecord(4, r), 0);
  EXPECT_EQ(r.Name(), longest.substr(0, 258));
}

TEST_F(StoreLogFilesTest, HostileFolderLoopsDoNotHangPathOrCount) {
  // Folder record 1 (id 10) filed under id 11, folder record 2 (id 11) under id 10: a circle.
  std::vector<uint8_t> bytes;
  for (uint32_t k = 1; k <= 2; ++k) {
    FoundFileRecord r;
    r.SetRecordNumber(k);
    r.SetFolder(true);
    r.SetObjectId(9 + k);
    r.SetName(k == 1 ? "A" : "B");
    AppendLegacy(bytes, r);
  }
  test::WriteFileBytes(log_, bytes);
  WriteText(log_ + "_Relation",
            " | 1 - [2] | " + std::to_string(MakeRelationKey(1, 11)) + " - [1] | " +
                std::to_string(MakeRelationKey(2, 10)) + " - [2] | " +
                std::to_string(MakeRelationKey(0xFFFFFFFF, 10)) + " - [1,1]");
  FolderInfo a(10, 1, "A"), b(11, 2, "B");
  std::string folders(reinterpret_cast<const char*>(a.bytes()), FolderInfo::kSize);
  folders.append(reinterpret_cast<const char*>(b.bytes()), FolderInfo::kSize);
  WriteText(log_ + "_DirInfo", folders);
  FoundFileStore store;
  ASSERT_EQ(store.OpenLogIn(folder_, "log"), 0);
  FoundFileRecord r;
  ASSERT_EQ(store.ReadRecord(1, r), 0);
  std::string path;
  EXPECT_EQ(store.GetFullPath(r, path, 260), 0);
  EXPECT_LE(path.size(), 260u);
  int count = -1;
  EXPECT_EQ(store.CountFiles(MakeRelationKey(0xFFFFFFFF, 10), count), 0);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(store.CountFiles(0, count), 0);
}

TEST_F(StoreLogFilesTest, CountFilesCoversTheWholeSubtreeOnce) {
  FoundFileStore store;
  ASSERT_EQ(store.OpenLogIn(folder_, "log"), 0);
  auto add = [&](uint32_t parent, uint32_t depth, uint32_t id, const char* name, bool folder) {
    uint32_t n = 0;
    FoundFileRecord* slot = store.AppendRecord(n);
    slot->SetRecordNumber(n);
    slot->SetObjectId(id);
    slot->SetFolder(folder);
    slot->SetName(name);
    store.AddRelation(parent, depth, n, id, folder ? name : nullptr);
  };
  add(2, 0, 10, "A", true);
  add(2, 0, 20, "top.txt", false);
  add(10, 1, 11, "B", true);
  add(10, 1, 30, "a1.txt", false);
  add(11, 2, 31, "b1.txt", false);
  add(11, 2, 32, "b2.txt", false);
  add(11, 2, 12, "C", true);  // empty folder
  int count = 0;
  ASSERT_EQ(store.CountFiles(0, count), 0);
  EXPECT_EQ(count, 4);
  ASSERT_EQ(store.CountFiles(MakeRelationKey(1, 10), count), 0);
  EXPECT_EQ(count, 3);
  ASSERT_EQ(store.CountFiles(MakeRelationKey(2, 11), count), 0);
  EXPECT_EQ(count, 2);
}

}  // namespace
}  // namespace salvora
