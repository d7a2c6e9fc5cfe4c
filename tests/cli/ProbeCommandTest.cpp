#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace salvora::test {
namespace {

TEST(ProbeCommand, ReportsFileSystemAndEngine) {
  std::string out;
  EXPECT_EQ(RunCommand(CliPath() + " probe " + FixturePath("fat16.img"), &out), 0);
  EXPECT_NE(out.find("file system: FAT"), std::string::npos) << out;
  // Engines go by the names listings and reports use, never by an internal class name.
  EXPECT_NE(out.find("fast engine: fast-fat\n"), std::string::npos) << out;
  EXPECT_NE(out.find("advanced engine: fast-fat, then the sweep"), std::string::npos) << out;
  EXPECT_EQ(out.find("Recovery"), std::string::npos) << out;
  out.clear();
  EXPECT_EQ(RunCommand(CliPath() + " probe " + FixturePath("zero.img"), &out), 0);
  EXPECT_NE(out.find("fast engine: none"), std::string::npos) << out;
}

TEST(ProbeCommand, DiskRangesGoThroughTheDiskMap) {
  std::string out;
  std::string cmd = "SALVORA_DISK_MAP=0=" + FixturePath("mbr-disk.img") + " " + CliPath() +
                    " probe disk:0:133120:96256";
  EXPECT_EQ(RunCommand(cmd, &out), 0);
  EXPECT_NE(out.find("file system: NTFS"), std::string::npos) << out;
}

TEST(ProbeCommand, UnreadableSourcesGiveOneLineAndExitCode2) {
  std::string out;
  EXPECT_EQ(RunCommand(CliPath() + " probe /nonexistent.img 2>&1", &out), 2);
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
  EXPECT_NE(out.find("No such file or directory"), std::string::npos) << out;
  out.clear();
  EXPECT_EQ(RunCommand(CliPath() + " probe disk:x 2>&1", &out), 2);
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
  EXPECT_EQ(RunCommand(CliPath() + " probe 2>/dev/null"), 2);
  EXPECT_EQ(RunCommand(CliPath() + " frobnicate 2>/dev/null"), 2);
}

}  // namespace
}  // namespace salvora::test
