// Content verdicts kept beside a scan log: they come back when the log is reopened, a torn or
// garbled companion file loses only its bad entries, and a log cut back forgets the verdicts of
// the records it drops. The log's own files and the catalogue's log lookup are not disturbed.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "scan/FoundFileStore.h"
#include "scan/ScanLogCatalogue.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

constexpr char kLog[] = "Pro_Car_0_20261209 1";

void Append(FoundFileStore& store, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t number = 0;
    FoundFileRecord* slot = store.AppendRecord(number);
    ASSERT_NE(slot, nullptr);
    slot->SetRecordNumber(number);
    slot->SetName(std::to_string(number) + ".jpg");
    store.AddRelation(0, 0, number, 0, nullptr);
  }
}

TEST(ContentVerdictLog, VerdictsSurviveReopeningAndCuttingBackDropsOnlyTheLaterOnes) {
  test::TempDir dir;
  const std::string folder = dir.path() + "/1/";
  {
    FoundFileStore store;
    ASSERT_EQ(store.OpenLogIn(folder, kLog), 0);
    Append(store, 6000);
    store.KeepVerdict(2, ContentVerdict::Intact());
    store.KeepVerdict(3, ContentVerdict::DamagedAt(777));
    store.KeepVerdict(3, ContentVerdict::DamagedAt(12345));  // the later verdict replaces it
    store.KeepVerdict(4, ContentVerdict::NotChecked());     // nothing to keep
    for (uint32_t n = 10; n < 5010; ++n) store.KeepVerdict(n, ContentVerdict::Intact());
    store.KeepVerdict(5999, ContentVerdict::DamagedAt(1));
  }
  // A killed writer's torn entry and an entry of an unknown state are skipped.
  std::ofstream(folder + kLog + std::string(FoundFileStore::kVerdictSuffix), std::ios::app | std::ios::binary)
      << std::string("\x05\0\0\0\x09\0\0\0\0\0\0\0\0\0\0\0\x06\0\0", 19);
  {
    FoundFileStore store;
    ASSERT_EQ(store.OpenLogIn(folder, kLog), 0);
    EXPECT_EQ(store.VerdictOf(2), ContentVerdict::Intact());
    EXPECT_EQ(store.VerdictOf(3), ContentVerdict::DamagedAt(12345));
    EXPECT_EQ(store.VerdictOf(4), std::nullopt);
    EXPECT_EQ(store.VerdictOf(5), std::nullopt);
    EXPECT_EQ(store.VerdictOf(5009), ContentVerdict::Intact());
    EXPECT_EQ(store.VerdictOf(5999), ContentVerdict::DamagedAt(1));
    EXPECT_EQ(store.VerdictOf(123456), std::nullopt);
    ASSERT_EQ(store.CutBack(100), 0);
    store.KeepVerdict(101, ContentVerdict::DamagedAt(9));  // a record found again after the cut
  }
  FoundFileStore store;
  ASSERT_EQ(store.OpenLogIn(folder, kLog), 0);
  EXPECT_EQ(store.VerdictOf(3), ContentVerdict::DamagedAt(12345));
  EXPECT_EQ(store.VerdictOf(99), ContentVerdict::Intact());
  EXPECT_EQ(store.VerdictOf(100), ContentVerdict::Intact());
  EXPECT_EQ(store.VerdictOf(101), ContentVerdict::DamagedAt(9));
  EXPECT_EQ(store.VerdictOf(5999), std::nullopt);
  std::string found;
  ScanLogCatalogue catalogue(dir.path());
  ASSERT_EQ(catalogue.FindLog(folder, "Pro_Car", found), 0);
  EXPECT_EQ(found, kLog);
}

}  // namespace
}  // namespace salvora
