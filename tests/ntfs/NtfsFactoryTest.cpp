#include <gtest/gtest.h>

#include <cstdlib>

#include "ntfs/CFastNtfsRecovery.h"
#include "ntfs/NtfsUsageBitmap.h"
#include "recovery/EngineFactory.h"
#include "scan/ScanLogCatalogue.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

// Points disk number 0 at an image for the lifetime of the object.
class ScopedDiskMap {
 public:
  explicit ScopedDiskMap(const std::string& image) { ::setenv("SALVORA_DISK_MAP", ("0=" + image).c_str(), 1); }
  ~ScopedDiskMap() { ::unsetenv("SALVORA_DISK_MAP"); }
};

TEST(NtfsFactory, FastScanOfAnNtfsImageGetsTheNtfsEngine) {
  test::ScopedDataDir dir;
  auto engine = EngineFactory::Instance().CreateForImage(test::FixturePath("ntfs-files.img"), u'F', false);
  ASSERT_NE(engine, nullptr);
  ASSERT_NE(dynamic_cast<CFastNtfsRecovery*>(engine.get()), nullptr);
  ScanLogCatalogue::Instance().NewSession();
  ASSERT_EQ(engine->Scan(nullptr), 0);
  EXPECT_GT(engine->GetFoundCount(), 10u);
}

// The same volume as a partition at sector 2048 of a disk: every sector the engine reads is
// offset by the partition start, and recovered data is still byte-identical.
TEST(NtfsFactory, PartitionOfADiskIsScannedAndRecovered) {
  test::ScopedDataDir dir;
  std::string disk = test::FixturePath("ntfs-files-disk.img");
  std::string hash = test::Sha256File(disk);
  ScopedDiskMap map(disk);
  auto engine = EngineFactory::Instance().CreateForDisk(0, 2048, 65536, u'G', false);
  ASSERT_NE(engine, nullptr);
  ScanLogCatalogue::Instance().NewSession();
  ASSERT_EQ(engine->Scan(nullptr), 0);
  std::vector<FoundFileRecord> found;
  engine->SearchByExtension("*.bin|*.jpg|", found);
  test::TempDir out;
  int recovered = 0;
  for (const auto& r : found) {
    EXPECT_EQ(r.PartitionStart(), 2048u);
    std::string name(r.Name());
    ASSERT_EQ(engine->RecoverFile(&r, out.File(name), 0), 0) << name;
    EXPECT_EQ(test::Sha256File(out.File(name)),
              test::Sha256File(test::FixturePath("ntfs-files.img") + "-src/" + name)) << name;
    ++recovered;
  }
  EXPECT_EQ(recovered, 5);  // x, y, big, frag, photo (fake.jpg fails its content check)
  // The free-space figure that identifies the partition for resuming comes from $Bitmap.
  SectorReader reader;
  ASSERT_EQ(reader.OpenFile(disk), 0);
  uint64_t freeBytes = 0;
  ASSERT_TRUE(CountNtfsFreeBytes(reader, 2048, 65536, 512, freeBytes));
  std::string info;
  ASSERT_EQ(test::RunCommand("ntfscluster -i '" + test::FixturePath("ntfs-files.img") + "' 2>/dev/null", &info), 0);
  size_t at = info.find("bytes of free space");
  EXPECT_EQ(freeBytes, std::stoull(info.substr(info.find(':', at) + 1)));
  EXPECT_FALSE(CountNtfsFreeBytes(reader, 0, 65536, 512, freeBytes));  // the MBR holds no volume
  EXPECT_EQ(test::Sha256File(disk), hash);
}

}  // namespace
}  // namespace salvora
