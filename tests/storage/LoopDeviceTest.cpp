#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include "platform/DiskMap.h"
#include "storage/DiskEnumerator.h"
#include "storage/ImageDestination.h"
#include "storage/ImageWriter.h"
#include "storage/LoopDevice.h"
#include "support/TestSupport.h"

// Discovery and imaging of real loop devices, compared with what sfdisk and blkid say of them.
namespace salvora {
namespace {

// sha256 by the system tool: these images are large and the tests run under sanitizers too.
inline std::string ToolSha256(const std::string& path) {
  std::string out;
  salvora::test::RunCommand("sha256sum '" + path + "'", &out);
  return out.substr(0, 64);
}

using test::LoopDevice;

struct UnsetDiskMap {
  UnsetDiskMap() {
    if (const char* old = std::getenv("SALVORA_DISK_MAP")) saved = old, had = true;
    ::unsetenv("SALVORA_DISK_MAP");
  }
  ~UnsetDiskMap() {
    if (had) ::setenv("SALVORA_DISK_MAP", saved.c_str(), 1);
  }
  std::string saved;
  bool had = false;
};

std::vector<VolumeEntry> EntriesOf(const std::string& diskPath) {
  DiskEnumerator enumerator;
  enumerator.Refresh();
  std::vector<VolumeEntry> all, mine;
  enumerator.ListAll(all);
  for (const auto& e : all)
    if (e.diskPath == diskPath) mine.push_back(e);
  return mine;
}

std::map<std::string, std::string> BlkidAt(const std::string& device, uint64_t offset) {
  std::string out;
  test::RunCommand("blkid -p -O " + std::to_string(offset) + " -o export " + device + " 2>/dev/null", &out);
  std::map<std::string, std::string> values;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);)
    if (auto eq = line.find('='); eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  return values;
}

#define REQUIRE_LOOP(loop)                                                                     \
  if (!(loop).Available()) GTEST_SKIP() << "loop devices are not available here: " << (loop).Why()

TEST(LoopDevice, EntriesMatchSfdiskAndBlkid) {
  if (!test::HaveTool("sfdisk") || !test::HaveTool("blkid")) GTEST_SKIP() << "sfdisk or blkid missing";
  UnsetDiskMap unset;
  test::TempDir dir;
  // A private copy: the loop device is opened read-write by the kernel.
  std::string image = dir.File("disk.img");
  std::filesystem::copy_file(test::FixturePath("mbr-disk.img"), image);
  LoopDevice loop(image, "-P");
  REQUIRE_LOOP(loop);

  std::string dump;
  ASSERT_EQ(test::RunCommand("sfdisk --dump " + loop.Device(), &dump), 0);
  std::regex line(R"(start=\s*(\d+), size=\s*(\d+), type=([0-9a-f]+))");
  std::vector<std::smatch> rows;
  auto entries = EntriesOf(loop.Device());
  std::vector<VolumeEntry> volumes;
  for (const auto& e : entries)
    if (e.kind == VolumeEntry::Kind::Volume) volumes.push_back(e);
  size_t index = 0;
  for (std::sregex_iterator it(dump.begin(), dump.end(), line), end; it != end; ++it, ++index) {
    ASSERT_LT(index, volumes.size()) << "sfdisk lists more partitions: " << dump;
    const VolumeEntry& v = volumes[index];
    uint64_t start = std::stoull((*it)[1]), size = std::stoull((*it)[2]);
    EXPECT_EQ(v.start, start);
    EXPECT_EQ(v.length, size);
    EXPECT_TRUE(v.devicePath.empty()) << "losetup -P made no partition nodes here";
    auto blkid = BlkidAt(loop.Device(), start * 512);
    std::string name = blkid["TYPE"] == "ntfs" ? "NTFS" : blkid["VERSION"] == "FAT32" ? "FAT32" : blkid["TYPE"];
    EXPECT_EQ(v.fileSystemName, name);
    EXPECT_EQ(v.label, blkid["LABEL"]);
    uint8_t type = name == "NTFS" ? 0x07 : name == "FAT32" ? 0x0B : uint8_t(std::stoul((*it)[3], nullptr, 16));
    EXPECT_EQ(v.type, type);
  }
  EXPECT_EQ(index, volumes.size());
  EXPECT_EQ(index, 2u);
  // The two partitions fill the disk after the first 2,048 sectors: no gap.
  EXPECT_EQ(entries.size(), 2u);
}

TEST(LoopDevice, ImageOfTheDeviceIsByteIdentical) {
  UnsetDiskMap unset;
  test::TempDir dir;
  std::string image = dir.File("disk.img");
  std::filesystem::copy_file(test::FixturePath("mbr-disk.img"), image);
  std::string before = ToolSha256(image);
  LoopDevice loop(image, "-P");
  REQUIRE_LOOP(loop);
  auto entries = EntriesOf(loop.Device());
  ASSERT_FALSE(entries.empty());
  // By the disk as it was listed: other loop devices come and go meanwhile (tests running beside
  // this one), and each shifts the numbers of the disks named after it.
  ImageWriter writer;
  ASSERT_EQ(writer.CreateImage(entries[0].diskPath, 0, 0, dir.File("copy.img"), nullptr, nullptr), 0);
  EXPECT_EQ(ToolSha256(dir.File("copy.img")), before);
  EXPECT_EQ(ToolSha256(image), before);
}

TEST(LoopDevice, DestinationOnTheImagedDiskIsRefused) {
  if (!test::HaveTool("sfdisk") || !test::HaveTool("mke2fs")) GTEST_SKIP() << "sfdisk or mke2fs missing";
  UnsetDiskMap unset;
  test::TempDir dir;
  std::string image = dir.File("disk.img");
  // An ext4 partition at 2048 (32 MiB) and free space after it.
  ASSERT_EQ(test::RunCommand("truncate -s 96M '" + image + "' && printf 'start=2048, size=65536, type=83\\n' | "
                             "sfdisk -q '" + image + "' && mke2fs -q -F -t ext4 -E offset=1048576 '" + image +
                             "' 32M >/dev/null 2>&1"), 0);
  LoopDevice whole(image, "-P");
  REQUIRE_LOOP(whole);
  LoopDevice partition(whole.Device(), "-o 1048576 --sizelimit 33554432");
  REQUIRE_LOOP(partition);
  std::string mountPoint = dir.File("mnt");
  std::filesystem::create_directory(mountPoint);
  test::ScopedMount mount(partition.Device(), mountPoint);
  if (!mount.Mounted()) GTEST_SKIP() << "cannot mount ext4 here";

  auto entries = EntriesOf(whole.Device());
  ASSERT_EQ(entries.size(), 2u);  // the ext4 partition (type 0x83) and the gap after it
  VolumeEntry disk = entries[0];
  disk.kind = VolumeEntry::Kind::WholeDisk;
  const VolumeEntry& volume = entries[0];
  const VolumeEntry& gap = entries[1];
  ASSERT_EQ(int(gap.kind), int(VolumeEntry::Kind::Gap));

  std::string inside = mountPoint + "/copy.img";
  EXPECT_TRUE(SameDevice(inside, disk));
  EXPECT_TRUE(SameDevice(inside, volume));
  EXPECT_FALSE(SameDevice(inside, gap)) << "the mounted window does not reach the gap";
  EXPECT_FALSE(SameDevice(dir.File("copy.img"), disk));

  DestinationFacts facts = GatherDestinationFacts(inside, disk);
  EXPECT_TRUE(facts.onSource);
  EXPECT_EQ(facts.fileSystemName, "ext4");
  EXPECT_TRUE(facts.freeKnown);
  EXPECT_LT(facts.freeBytes, 33554432u);
  EXPECT_EQ(CheckImageDestination(facts, 1024), DestinationVerdict::OnSource);
}

TEST(LoopDevice, FuseMountIsFollowedToItsDevice) {
  if (!test::HaveTool("ntfs-3g")) GTEST_SKIP() << "ntfs-3g missing";
  UnsetDiskMap unset;
  test::TempDir dir;
  std::string image = dir.File("disk.img");
  std::filesystem::copy_file(test::FixturePath("mbr-disk.img"), image);
  LoopDevice whole(image, "-P");
  REQUIRE_LOOP(whole);
  // The NTFS partition at sector 133120, mounted through FUSE (an anonymous device number).
  LoopDevice partition(whole.Device(), "-o " + std::to_string(133120ull * 512));
  REQUIRE_LOOP(partition);
  std::string mountPoint = dir.File("mnt");
  std::filesystem::create_directory(mountPoint);
  test::ScopedMount mount(partition.Device(), mountPoint, "-t ntfs-3g");
  if (!mount.Mounted()) GTEST_SKIP() << "cannot mount with ntfs-3g here";

  auto entries = EntriesOf(whole.Device());
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_FALSE(SameDevice(mountPoint + "/copy.img", entries[0])) << "FAT32 partition";
  EXPECT_TRUE(SameDevice(mountPoint + "/copy.img", entries[1])) << "NTFS partition";
  std::string name;
  DiskEnumerator enumerator;
  EXPECT_EQ(enumerator.QueryFileSystemName(mountPoint + "/copy.img", name), 0);
  EXPECT_EQ(name, "NTFS");
}

TEST(LoopDevice, FourKiBSectorDiskCountsInItsOwnSectors) {
  if (!test::HaveTool("sfdisk")) GTEST_SKIP() << "sfdisk missing";
  UnsetDiskMap unset;
  test::TempDir dir;
  std::string image = dir.File("disk4k.img");
  ASSERT_EQ(test::RunCommand("truncate -s 64M '" + image + "'"), 0);
  LoopDevice loop(image, "-b 4096");
  REQUIRE_LOOP(loop);
  ASSERT_EQ(test::RunCommand("printf 'label: dos\\nstart=256, size=4096, type=7\\nstart=8192, size=4096, type=c\\n' | "
                             "sfdisk -q " + loop.Device() + " >/dev/null 2>&1; sfdisk --dump " + loop.Device() +
                             " | grep -q 'start= *8192'"), 0);
  auto entries = EntriesOf(loop.Device());
  ASSERT_EQ(entries.size(), 2u);
  for (const auto& e : entries) EXPECT_EQ(e.bytesPerSector, 4096u);
  EXPECT_EQ(entries[0].start, 256u);
  EXPECT_EQ(entries[0].length, 4096u);
  EXPECT_EQ(entries[0].totalBytes, 16u << 20);
  EXPECT_EQ(entries[1].start, 8192u);
  EXPECT_EQ(entries[1].type, 0x0C);
}

}  // namespace
}  // namespace salvora
