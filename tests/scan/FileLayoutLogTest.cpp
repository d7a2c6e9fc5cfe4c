// The layouts of fragmented finds outlive the process that found them, and a damaged or stale
// layout file never puts the wrong bytes under a record.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "scan/FoundFileStore.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

constexpr char kLog[] = "Fast_0_20261279 5";

FileLayout Pieces(std::initializer_list<FileExtent> runs) {
  FileLayout layout;
  for (const FileExtent& r : runs) EXPECT_TRUE(layout.Append(r.offset, r.length));
  return layout;
}

// Appends a file record of the given first cluster and size; returns its number.
uint32_t AddFile(FoundFileStore& store, uint32_t cluster, uint64_t size) {
  uint32_t number = 0;
  FoundFileRecord* slot = store.AppendRecord(number);
  EXPECT_NE(slot, nullptr);
  slot->SetRecordNumber(number);
  slot->SetEngineKind(1);
  slot->SetObjectId(cluster);
  slot->SetFileSize(size);
  store.AddRelation(0, 0, number, cluster, nullptr);
  return number;
}

FoundFileRecord Read(FoundFileStore& store, uint32_t number) {
  FoundFileRecord r;
  EXPECT_EQ(store.ReadRecord(number, r), 0);
  return r;
}

TEST(FileLayoutLogTest, ReopenedLogGivesEachRecordItsOwnLayoutAndCutRecordsLoseTheirs) {
  test::TempDir dir;
  const FileLayout three = Pieces({{8192, 4096}, {20480, 4096}, {40960, 100}});
  const FileLayout two = Pieces({{4096, 512}, {1024, 512}});
  {
    FoundFileStore store;
    ASSERT_EQ(store.OpenLogIn(dir.path(), kLog), 0);
    AddFile(store, 5, 999);  // one run: no layout
    const uint32_t a = AddFile(store, 7, three.TotalBytes());
    const uint32_t b = AddFile(store, 9, two.TotalBytes());
    EXPECT_FALSE(store.SetLayout(Read(store, a), two)) << "a layout must cover the record's size";
    EXPECT_TRUE(store.SetLayout(Read(store, a), three));
    EXPECT_TRUE(store.SetLayout(Read(store, b), two));
  }
  FoundFileStore store;
  ASSERT_EQ(store.OpenLogIn(dir.path(), kLog), 0);
  FileLayout got;
  EXPECT_FALSE(store.FindLayout(Read(store, 1), got));
  ASSERT_TRUE(store.FindLayout(Read(store, 2), got));
  EXPECT_EQ(got, three);
  ASSERT_TRUE(store.FindLayout(Read(store, 3), got));
  EXPECT_EQ(got, two);
  uint64_t at = 0, left = 0;
  ASSERT_TRUE(three.Locate(8192, at, left));
  EXPECT_EQ(at, 40960u);
  EXPECT_EQ(left, 100u);

  // A resumed scan cuts record 3 and appends a record under that number again: the cut layout
  // is gone, in this process and after reopening (the engine records a layout anew).
  ASSERT_EQ(store.CutBack(2), 0);
  const uint32_t again = AddFile(store, 9, two.TotalBytes());
  ASSERT_EQ(again, 3u);
  EXPECT_FALSE(store.FindLayout(Read(store, again), got));
  store.Close();
  ASSERT_EQ(store.OpenLogIn(dir.path(), kLog), 0);
  EXPECT_FALSE(store.FindLayout(Read(store, 3), got));
  EXPECT_TRUE(store.FindLayout(Read(store, 2), got));
}

TEST(FileLayoutLogTest, DamagedOrForeignEntriesAreNeverApplied) {
  test::TempDir dir;
  const std::string path = dir.path() + "/" + kLog + FileLayoutLog::kSuffix;
  FoundFileRecord record;
  record.SetRecordNumber(1);
  record.SetEngineKind(1);
  record.SetObjectId(7);
  record.SetFileSize(300);
  const FileLayout layout = Pieces({{4096, 200}, {0, 100}});
  const std::string good = FileLayoutLog::Encode(1, record, layout);
  std::string flipped = FileLayoutLog::Encode(2, record, layout);
  flipped[30] ^= 1;
  std::string huge = good;
  huge[24] = huge[25] = huge[26] = huge[27] = '\xff';  // extent count far past the file
  std::string wrongTotal = FileLayoutLog::Encode(3, record, Pieces({{0, 1}}));

  for (const std::string& tail : {flipped, huge, good.substr(0, good.size() - 1), wrongTotal}) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << good << tail << good;
    FileLayoutLog log;
    ASSERT_EQ(log.Load(path), 0);
    EXPECT_EQ(log.Count(), 1u);
    FileLayout got;
    EXPECT_TRUE(log.Find(record, got));
    FoundFileRecord other = record;
    other.SetObjectId(8);
    EXPECT_FALSE(log.Find(other, got)) << "an entry for another file under the same number";
    // The next flush leaves only what was whole.
    ASSERT_EQ(log.Flush(), 0);
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), good);
  }
}

}  // namespace
}  // namespace salvora
