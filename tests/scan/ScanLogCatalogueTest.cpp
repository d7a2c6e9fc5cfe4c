#include "scan/ScanLogCatalogue.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "scan/ScanLogName.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {
namespace fs = std::filesystem;

TEST(ScanLogNameTest, PadsOnlyTheMinuteWithASpace) {
  platform::LocalTime t;
  t.year = 2026;
  t.month = 12;
  t.day = 7;
  t.hour = 9;
  t.minute = 5;
  EXPECT_EQ(MakeScanLogName(kFastLogPrefix, 2048, t), "Fast_2048_20261279 5");
  t.minute = 45;
  EXPECT_EQ(MakeScanLogName(kProNtfsLogPrefix, 0, t), "Pro_Ntfs_0_2026127945");
}

TEST(ScanLogCatalogueTest, FirstStartHasCounterZeroAndFirstSessionIsOne) {
  test::ScopedDataDir data;
  ScanLogCatalogue& catalogue = ScanLogCatalogue::Instance();
  EXPECT_EQ(catalogue.Folder(), data.path() + "/SalvoraData/ScanLog");
  EXPECT_EQ(catalogue.Counter(), 0u);
  catalogue.NewSession();
  EXPECT_EQ(catalogue.SessionFolder(), catalogue.Folder() + "/1/");
}

}  // namespace
}  // namespace salvora
