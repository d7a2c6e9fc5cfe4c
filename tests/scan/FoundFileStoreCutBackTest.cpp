// Cutting a log back to an earlier length, as a scan resumed from a checkpoint does.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "scan/FoundFileStore.h"
#include "platform/ErrorCodes.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

constexpr char kLog[] = "Pro_Fat_0_20261279 5";

// Ten folders at the top (ids 1..10: the items 0..4 and 300..304), every other item a file filed
// under folder 1 + (item % 10).
void Fill(FoundFileStore& store, uint32_t files, uint32_t firstFile = 0) {
  for (uint32_t f = 0; f < files; ++f) {
    uint32_t i = firstFile + f, number = 0;
    FoundFileRecord* slot = store.AppendRecord(number);
    ASSERT_NE(slot, nullptr);
    const bool folder = i < 5 || (i >= 300 && i < 305);
    const uint32_t id = folder ? (i < 5 ? i + 1 : i - 300 + 6) : 1000 + i;
    const std::string name = folder ? "dir" + std::to_string(id) : "f" + std::to_string(i) + ".dat";
    slot->SetRecordNumber(number);
    slot->SetObjectId(id);
    slot->SetFolder(folder);
    slot->SetContentCheck(1);
    slot->SetName(name);
    if (folder)
      store.AddRelation(0, 0, number, id, name.c_str());
    else
      store.AddRelation(1 + i % 10, 1, number, 1000 + i, nullptr);
  }
}

uint64_t FileSize(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? uint64_t(st.st_size) : 0;
}

// Every record number listed anywhere in the tree (top and the ten folders).
std::multiset<uint32_t> Listed(FoundFileStore& store) {
  std::multiset<uint32_t> out;
  std::vector<FoundFileRecord> list;
  EXPECT_EQ(store.ListChildren(MakeRelationKey(0, 0), list), 0);
  for (uint32_t id = 1; id <= 10; ++id) EXPECT_EQ(store.ListChildren(MakeRelationKey(1, id), list), 0);
  for (const auto& r : list) out.insert(r.RecordNumber());
  return out;
}

TEST(FoundFileStoreCutBackTest, RecordsRelationsAndFoldersAfterTheCutAreGone) {
  test::TempDir dir;
  const std::string folder = dir.path() + "/3/";
  {
    FoundFileStore store;
    ASSERT_EQ(store.OpenLogIn(folder, kLog), 0);
    Fill(store, 300);  // five of the ten folders before the checkpoint
    ASSERT_EQ(store.Flush(), 0);
    ASSERT_EQ(store.TotalRecords(), 300u);
    // Found after the checkpoint and already on disk, relations and folders included.
    Fill(store, 250, 300);
    ASSERT_EQ(store.Flush(), 0);
  }
  FoundFileStore store;
  ASSERT_EQ(store.OpenLogIn(folder, kLog), 0);
  ASSERT_EQ(store.TotalRecords(), 550u);
  ASSERT_EQ(store.CutBack(300), 0);
  EXPECT_EQ(FileSize(store.RecordPath()), 300u * FoundFileRecord::kSize);
  EXPECT_EQ(store.TotalRecords(), 300u);
  for (const auto& [key, numbers] : store.Relations())
    for (uint32_t n : numbers) EXPECT_LE(n, 300u) << "key " << key;
  EXPECT_EQ(store.Folders().size(), 5u);  // dir1..dir5 were found before the cut

  // The sweep finds the later records again: each is listed once, under its number.
  Fill(store, 250, 300);
  std::multiset<uint32_t> listed = Listed(store);
  EXPECT_EQ(listed.size(), 550u);
  EXPECT_EQ(std::set<uint32_t>(listed.begin(), listed.end()).size(), 550u);
  std::vector<FoundFileRecord> found;
  ASSERT_EQ(store.SearchByExtension("*.dat|", found), 1);
  EXPECT_EQ(found.size(), 540u);
  for (const auto& r : found) {
    FoundFileRecord again;
    ASSERT_EQ(store.ReadRecord(r.RecordNumber(), again), 0);
    EXPECT_EQ(again.Name(), r.Name());
  }

  // The cut is on disk: a reopened log holds what the store held.
  auto relations = store.Relations();
  store.Close();
  ASSERT_EQ(store.OpenLogIn(folder, kLog), 0);
  EXPECT_EQ(store.Relations(), relations);
  EXPECT_EQ(store.Folders().size(), 10u);
}

TEST(FoundFileStoreCutBackTest, RecordsWithoutRelationsAreCutAndAShortLogIsKept) {
  test::TempDir dir;
  const std::string folder = dir.path() + "/4/";
  {
    FoundFileStore store;
    ASSERT_EQ(store.OpenLogIn(folder, kLog), 0);
    Fill(store, 120);
    ASSERT_EQ(store.Flush(), 0);
  }
  // A killed scan leaves buffered-out records and half a record behind its last flush, with
  // nothing in the relation file: only a search would see them.
  {
    FoundFileStore scratch;
    ASSERT_EQ(scratch.OpenLogIn(dir.path() + "/scratch/", kLog), 0);
    Fill(scratch, 131);  // the half record is the first part of the 131st
    scratch.Close();
    auto bytes = test::ReadFileBytes(scratch.RecordPath());
    std::ofstream out(folder + kLog, std::ios::binary | std::ios::app);
    out.write(reinterpret_cast<const char*>(bytes.data()) + 120 * FoundFileRecord::kSize,
              std::streamsize(10 * FoundFileRecord::kSize + 100));
  }
  FoundFileStore store;
  ASSERT_EQ(store.OpenLogIn(folder, kLog), 0);
  std::vector<FoundFileRecord> found;
  store.SearchByExtension("*.dat|", found);
  ASSERT_EQ(found.size(), 125u) << "the precondition: the search sees the stray records";

  // A checkpoint further on than the log (nothing lost) changes nothing but the torn tail.
  ASSERT_EQ(store.CutBack(200), 0);
  EXPECT_EQ(store.TotalRecords(), 130u);
  EXPECT_EQ(FileSize(store.RecordPath()), 130u * FoundFileRecord::kSize);

  ASSERT_EQ(store.CutBack(120), 0);
  found.clear();
  store.SearchByExtension("*.dat|", found);
  EXPECT_EQ(found.size(), 115u);
  EXPECT_EQ(store.TotalRecords(), 120u);
  uint32_t number = 0;
  ASSERT_NE(store.AppendRecord(number), nullptr);
  EXPECT_EQ(number, 121u);

  FoundFileStore closed;
  EXPECT_EQ(closed.CutBack(0), kInvalidParameter);
}

}  // namespace
}  // namespace salvora
