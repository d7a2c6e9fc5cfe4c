#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "storage/LoopDevice.h"
#include "support/TestSupport.h"

// The sources and image commands of the real binary, on a partitioned image mapped as disk 0.
namespace salvora {
namespace {

// sha256 by the system tool: these images are large and the tests run under sanitizers too.
std::string ToolSha256(const std::string& path) {
  std::string out;
  test::RunCommand("sha256sum '" + path + "'", &out);
  return out.substr(0, 64);
}

std::string Cli() { return "'" + test::CliPath() + "'"; }

std::string MapDisk(const std::string& image) { return "SALVORA_DISK_MAP='0=" + image + "' "; }

// Runs a command and returns its exit status with its output (RunCommand appends to it).
int RunFor(const std::string& command, std::string& output) {
  output.clear();
  return test::RunCommand(command, &output);
}

TEST(SourcesCommand, ListsTheVolumesOfAMappedDisk) {
  std::string disk = test::FixturePath("mbr-disk.img");
  std::string out;
  ASSERT_EQ(RunFor(MapDisk(disk) + Cli() + " sources", out), 0);
  EXPECT_NE(out.find("1:\\ PART1"), std::string::npos) << out;
  EXPECT_NE(out.find("2:\\ PART2"), std::string::npos) << out;
  EXPECT_NE(out.find("FAT32"), std::string::npos) << out;
  EXPECT_NE(out.find("[volume:2, sectors 133120+96256]"), std::string::npos) << out;

  ASSERT_EQ(RunFor(MapDisk(disk) + Cli() + " sources --json", out), 0);
  EXPECT_NE(out.find("\"fileSystem\": \"NTFS\", \"label\": \"PART2\", \"type\": 7"), std::string::npos) << out;
  EXPECT_NE(out.find("\"source\": \"volume:1\""), std::string::npos) << out;
  if (test::HaveTool("python3")) {
    test::TempDir dir;
    test::WriteFileBytes(dir.File("s.json"), std::vector<uint8_t>(out.begin(), out.end()));
    EXPECT_EQ(test::RunCommand("python3 -m json.tool '" + dir.File("s.json") + "' >/dev/null"), 0) << out;
  }
  EXPECT_EQ(test::RunCommand(Cli() + " sources --bogus 2>/dev/null"), 2);
}

TEST(ImageCommand, CopiesAVolumeAndRefusesUnsafeDestinations) {
  test::TempDir dir;
  std::string disk = test::FixturePath("mbr-disk.img");
  std::string before = ToolSha256(disk);
  std::string out = dir.File("part2.img");
  std::string err;
  ASSERT_EQ(RunFor(MapDisk(disk) + Cli() + " image volume:2 '" + out + "' 2>&1", err), 0) << err;
  EXPECT_NE(err.find("96256 sectors of 512 bytes"), std::string::npos) << err;
  ASSERT_EQ(test::RunCommand("dd if='" + disk + "' of='" + dir.File("expected.img") +
                             "' bs=512 skip=133120 count=96256 status=none"), 0);
  EXPECT_EQ(ToolSha256(out), ToolSha256(dir.File("expected.img")));

  // An existing file is kept unless --overwrite is given.
  test::WriteFileBytes(out, {1, 2, 3});
  EXPECT_EQ(RunFor(MapDisk(disk) + Cli() + " image volume:2 '" + out + "' 2>&1", err), 2);
  EXPECT_NE(err.find("--overwrite"), std::string::npos) << err;
  EXPECT_EQ(std::filesystem::file_size(out), 3u);

  // Writing the image over the disk being imaged is refused, --overwrite or not.
  EXPECT_EQ(RunFor(MapDisk(disk) + Cli() + " image disk:0 '" + disk + "' --overwrite 2>&1", err), 2);
  EXPECT_NE(err.find("the image " + disk + " would replace the source " + disk), std::string::npos) << err;
  EXPECT_EQ(ToolSha256(disk), before);

  EXPECT_EQ(RunFor(MapDisk(disk) + Cli() + " image volume:9 '" + dir.File("x.img") + "' 2>&1", err), 2);
  EXPECT_NE(err.find("no source volume:9"), std::string::npos) << err;
  EXPECT_EQ(RunFor(MapDisk(disk) + Cli() + " image disk:0:229000:1000 '" + dir.File("x.img") + "' 2>&1", err),
            2);
  EXPECT_NE(err.find("past the end"), std::string::npos) << err;
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.img")));
}

TEST(ImageCommand, InterruptStopsCleanly) {
  test::TempDir dir;
  std::string disk = dir.File("big.img");
  std::filesystem::resize_file((std::ofstream(disk), disk), 8ull << 30);  // sparse: reads are quick, no space used
  std::string err = dir.File("err");
  std::ofstream(dir.File("run.sh"))
      << MapDisk(disk) << Cli() << " image disk:0 '" << dir.File("out.img") << "' 2>'" << err << "' &\n"
      << "pid=$!\n"
      << "for i in $(seq 400); do grep -q '%' '" << err << "' 2>/dev/null && break; sleep 0.05; done\n"
      << "kill -INT $pid\nwait $pid\necho $?\n";
  std::string out;
  RunFor("bash '" + dir.File("run.sh") + "'", out);
  EXPECT_EQ(out, "130\n");
  std::string text;
  RunFor("cat '" + err + "'", text);
  EXPECT_NE(text.find("cancelled"), std::string::npos) << text;
  EXPECT_LT(std::filesystem::file_size(dir.File("out.img")), 8ull << 30);
}

TEST(RecoverCommand, RefusesADestinationOnTheSourceUnlessForced) {
  if (!test::HaveTool("mke2fs")) GTEST_SKIP() << "mke2fs missing";
  test::TempDir dir;
  std::string image = dir.File("card.img");
  ASSERT_EQ(test::RunCommand("truncate -s 16M '" + image + "' && mke2fs -q -F -t ext4 '" + image + "' >/dev/null 2>&1"), 0);
  test::LoopDevice loop(image, "");
  if (!loop.Available()) GTEST_SKIP() << "loop devices are not available here: " << loop.Why();
  std::string mountPoint = dir.File("mnt");
  std::filesystem::create_directory(mountPoint);
  test::ScopedMount mount(loop.Device(), mountPoint);
  if (!mount.Mounted()) GTEST_SKIP() << "cannot mount ext4 here";
  test::ScopedDataDir data;
  std::string err;
  // The mounted loop device itself is the source disk.
  const std::string recover = MapDisk(loop.Device()) + Cli() + " recover --fast disk:0 --to ";
  EXPECT_EQ(RunFor(recover + "'" + mountPoint + "/out' 2>&1", err), 2);
  EXPECT_NE(err.find("--force"), std::string::npos) << err;
  EXPECT_FALSE(std::filesystem::exists(mountPoint + "/out")) << "the refused destination was made on the source";
  EXPECT_EQ(RunFor(recover + "'" + mountPoint + "/out' --force 2>&1", err), 0) << err;
  EXPECT_EQ(RunFor(recover + "'" + dir.File("out") + "' 2>&1", err), 0) << err;
}

}  // namespace
}  // namespace salvora
