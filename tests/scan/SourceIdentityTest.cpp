#include "scan/SourceIdentity.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/MountInfo.h"
#include "platform/RawSource.h"
#include "scan/ScanLogCatalogue.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {
namespace fs = std::filesystem;

std::unique_ptr<SectorReader> MemoryReader(std::vector<uint8_t> bytes) {
  auto reader = std::make_unique<SectorReader>();
  uint64_t sectors = bytes.size() / 512;
  reader->Attach(std::make_unique<platform::MemorySource>(std::move(bytes)), sectors);
  return reader;
}

TEST(SourceIdentityTest, FingerprintCoversTheFirstMebibyteOfThePartitionOnly) {
  std::vector<uint8_t> disk(4 << 20, 0);
  uint32_t x = 12345;
  for (auto& b : disk) b = uint8_t((x = x * 1103515245u + 12345u) >> 16);
  auto a = MemoryReader(disk);
  uint64_t base = FingerprintPartitionHead(*a, 100, 6000, 512);
  EXPECT_NE(base, 0u);
  EXPECT_EQ(FingerprintPartitionHead(*a, 100, 6000, 512), base);
  EXPECT_NE(FingerprintPartitionHead(*a, 101, 6000, 512), base);

  std::vector<uint8_t> later = disk;
  later[100 * 512 + (1 << 20)] ^= 1;  // just past the first MiB
  auto b = MemoryReader(later);
  EXPECT_EQ(FingerprintPartitionHead(*b, 100, 6000, 512), base);
  std::vector<uint8_t> inside = disk;
  inside[100 * 512 + (1 << 20) - 1] ^= 1;  // its last byte
  auto c = MemoryReader(inside);
  EXPECT_NE(FingerprintPartitionHead(*c, 100, 6000, 512), base);

  // A partition smaller than 1 MiB, one that runs past the disk, and one out of reach.
  EXPECT_NE(FingerprintPartitionHead(*a, 0, 3, 512), 0u);
  EXPECT_NE(FingerprintPartitionHead(*a, 8000, 4000, 512), 0u);
  EXPECT_EQ(FingerprintPartitionHead(*a, 9000, 10, 512), 0u);
  EXPECT_EQ(FingerprintPartitionHead(*a, 0, 10, 0), 0u);
}

TEST(SourceIdentityTest, UnknownDiskNumberGivesZero) {
  ::setenv("SALVORA_DISK_MAP", "0=/no/such/disk.img", 1);
  EXPECT_EQ(IdentifyPartitionSource(0, 0, 100), 0u);
  EXPECT_EQ(IdentifyPartitionSource(5, 0, 100), 0u);
  ::unsetenv("SALVORA_DISK_MAP");
}

// A real mounted volume: an ext2 image on a loop device, mounted here (root only; skipped where
// loop devices or mounting are not available).
class MountedLoopVolume {
 public:
  explicit MountedLoopVolume(const test::TempDir& dir) {
    image_ = dir.File("vol.img");
    mountPoint_ = dir.File("mnt");
    if (::geteuid() != 0 || !test::HaveTool("losetup") || !test::HaveTool("mkfs.ext2")) return;
    fs::create_directories(mountPoint_);
    if (test::RunCommand("truncate -s 8M '" + image_ + "' && mkfs.ext2 -q -F '" + image_ +
                         "' >/dev/null 2>&1") != 0)
      return;
    std::string out;
    if (test::RunCommand("losetup -f --show '" + image_ + "' 2>/dev/null", &out) != 0) return;
    loop_ = out.substr(0, out.find('\n'));
    if (test::RunCommand("mount -t ext2 '" + loop_ + "' '" + mountPoint_ + "' 2>/dev/null") == 0)
      mounted_ = true;
  }
  ~MountedLoopVolume() {
    if (mounted_) test::RunCommand("umount '" + mountPoint_ + "'");
    if (!loop_.empty()) test::RunCommand("losetup -d '" + loop_ + "'");
  }
  bool ok() const { return mounted_; }
  const std::string& loop() const { return loop_; }
  const std::string& mountPoint() const { return mountPoint_; }

 private:
  std::string image_, mountPoint_, loop_;
  bool mounted_ = false;
};

TEST(SourceIdentityTest, MountedVolumeIsIdentifiedByItsFreeBytes) {
  test::TempDir dir;
  MountedLoopVolume volume(dir);
  if (!volume.ok()) GTEST_SKIP() << "no loop device could be mounted here";
  EXPECT_EQ(platform::MountPointOfDevice(volume.loop()), volume.mountPoint());
  uint64_t expected = 0;
  ASSERT_EQ(platform::MountedFreeBytes(volume.mountPoint(), expected), 0);
  ::setenv("SALVORA_DISK_MAP", ("0=" + volume.loop()).c_str(), 1);
  const uint64_t sectors = (8 << 20) / 512;
  EXPECT_EQ(IdentifyPartitionSource(0, 0, sectors), expected);

  // The catalogue sees a write to the volume as a changed source.
  test::ScopedDataDir data;
  ScanLogCatalogue catalogue(ScanLogFolder());
  catalogue.NewSession();
  fs::create_directories(catalogue.SessionFolder());
  ASSERT_EQ(catalogue.SaveProgress(0, 0, 0, sectors, {}, catalogue.SessionFolder(), ""), 0);
  EXPECT_EQ(catalogue.Entries()[0].FreeBytes(), expected);
  ScanSessionEntry entry;
  EXPECT_EQ(catalogue.LookupPartition(0, 0, 0, sectors, entry), 1);
  std::ofstream(volume.mountPoint() + "/new.bin") << std::string(200000, 'q');
  ::sync();
  EXPECT_EQ(catalogue.LookupPartition(0, 0, 0, sectors, entry), 0);
  ::unsetenv("SALVORA_DISK_MAP");
}

}  // namespace
}  // namespace salvora
