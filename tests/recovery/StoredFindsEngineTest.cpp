// The browsing, search and copy calls every file-system engine answers from its scan log, asked
// before any scan has made one (a caller may browse an engine whose scan failed).
#include <gtest/gtest.h>

#include <memory>

#include "exfat/CFastExfatRecovery.h"
#include "exfat/CProfessionalExfatRecovery.h"
#include "fat/CFastFatRecovery.h"
#include "fat/CProfessionalFatRecovery.h"
#include "ntfs/CFastNtfsRecovery.h"
#include "ntfs/CProfessionalNtfsRecovery.h"
#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

template <class Engine>
class EngineWithoutScan : public testing::Test {};

using Engines = testing::Types<CFastFatRecovery, CFastExfatRecovery, CFastNtfsRecovery,
                               CProfessionalFatRecovery, CProfessionalExfatRecovery,
                               CProfessionalNtfsRecovery>;
TYPED_TEST_SUITE(EngineWithoutScan, Engines);

TYPED_TEST(EngineWithoutScan, AnswersEmptyAndRefusesCallsThatNameNothing) {
  auto engine = std::make_unique<TypeParam>();
  IFileRecoveryParse& e = *engine;
  FoundFileRecord folder;
  folder.SetFolder(true);
  folder.SetObjectId(40);
  std::vector<FoundFileRecord> out;
  int count = -1;
  std::string path = "stale";

  EXPECT_EQ(e.ListChildren(nullptr, 0, out), 0);
  EXPECT_EQ(e.ListChildren(&folder, 2, out), 0);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(e.CountFiles(&folder, 1, count), 0);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(e.GetFoundCount(), 0u);
  EXPECT_EQ(e.SearchByExtension("*.jpg|", out), 0);
  EXPECT_TRUE(out.empty());

  // No folder above the top level, no negative depth, no record.
  EXPECT_EQ(e.ListChildren(nullptr, 1, out), kInvalidParameter);
  EXPECT_EQ(e.ListChildren(&folder, -1, out), kInvalidParameter);
  EXPECT_EQ(e.CountFiles(nullptr, 3, count), kInvalidParameter);
  EXPECT_EQ(e.GetFullPath(nullptr, path, 260), kInvalidParameter);
  EXPECT_TRUE(path.empty());
  EXPECT_EQ(e.RecoverFile(nullptr, "/nonexistent/x", 0), kInvalidParameter);
  uint8_t buffer[16];
  int size = sizeof buffer;
  EXPECT_EQ(e.ReadForPreview(nullptr, path, buffer, size, nullptr, nullptr), kInvalidParameter);
}

}  // namespace
}  // namespace salvora
