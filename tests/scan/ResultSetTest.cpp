// The one result set over logs written as the NTFS engines write them: a deep record read from
// the place the fast scan read it is that record; an older copy elsewhere is a find of its own.
#include <gtest/gtest.h>

#include "scan/ResultSet.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

// A fast engine's and a sweep engine's record kinds, as the NTFS engines' are.
constexpr uint32_t kFastKind = 0, kSweepKind = 2;

FoundFileRecord Ntfs(uint32_t kind, uint32_t mftRecord, uint64_t entrySector, bool folder, const char* name) {
  FoundFileRecord r;
  r.SetEngineKind(kind);
  r.SetObjectId(mftRecord);
  r.SetEntrySector(entrySector);
  r.SetFolder(folder);
  r.SetFileSize(folder ? 0 : 1000);
  r.SetName(name);
  return r;
}

TEST(ResultSet, DeepNtfsRecordsReadWhereTheFastScanReadThemAreItsFinds) {
  test::TempDir dir;
  FoundFileStore fast, deep;
  ASSERT_EQ(fast.OpenLogIn(dir.path(), "fast"), 0);
  ASSERT_EQ(deep.OpenLogIn(dir.path(), "deep"), 0);
  constexpr uint32_t kRoot = 5;
  ASSERT_EQ(fast.StoreRecord(Ntfs(kFastKind, 70, 1000, true, "Trip"), kRoot, 0, true), 0);
  ASSERT_EQ(fast.StoreRecord(Ntfs(kFastKind, 80, 1002, false, "a.jpg"), 70, 1, false), 0);
  ASSERT_EQ(deep.StoreRecord(Ntfs(kSweepKind, 70, 1000, true, "Trip"), kRoot, 0, true), 0);
  ASSERT_EQ(deep.StoreRecord(Ntfs(kSweepKind, 80, 1002, false, "a.jpg"), 70, 1, false), 0);
  ASSERT_EQ(deep.StoreRecord(Ntfs(kSweepKind, 90, 5000, false, "b.jpg"), 70, 1, false), 0);
  ASSERT_EQ(deep.StoreRecord(Ntfs(kSweepKind, 80, 7000, false, "older a.jpg"), 70, 1, false), 0);

  ResultSet results;
  ResultSet::Stores stores;
  stores.fast = {&fast, kFastKind, false};
  stores.sweeps = {{&deep, kSweepKind, false}};
  ASSERT_EQ(results.Build(stores, nullptr), 0);
  // Deep records 1 and 2 are the fast scan's; 3 (another record) and 4 (record 80 read from
  // another place: an older copy) are finds of their own.
  const uint32_t deepKind = kSweepKind;
  EXPECT_FALSE(results.Shows(deepKind, 1));
  EXPECT_FALSE(results.Shows(deepKind, 2));
  EXPECT_TRUE(results.Shows(deepKind, 3));
  EXPECT_TRUE(results.Shows(deepKind, 4));
  FoundFileRecord folder, file;
  ASSERT_EQ(fast.ReadRecord(1, folder), 0);
  ASSERT_EQ(fast.ReadRecord(2, file), 0);
  EXPECT_EQ(results.FoundBy(folder), EngineBit(kFastKind) | EngineBit(kSweepKind));
  EXPECT_EQ(results.FoundBy(file), EngineBit(kFastKind) | EngineBit(kSweepKind));
  // The deep folder's files are listed in the fast folder.
  EXPECT_EQ(results.FastFolderOf(deepKind, 70), 1u);
  const auto* lists = results.MergedLists(folder);
  ASSERT_NE(lists, nullptr);
  EXPECT_EQ(*lists, std::vector<RelationKey>{MakeRelationKey(1, 70)});
}

}  // namespace
}  // namespace salvora
