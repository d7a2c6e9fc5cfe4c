// salvora-cli over volumes that worn or hostile media give: long names at the legal limit, a
// damaged primary boot sector beside an intact backup, and a boot sector whose tables cannot fit.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "support/TestSupport.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

std::string Cli(const std::string& dataDir, const std::string& args) {
  return "SALVORA_DATA_DIR='" + dataDir + "' '" + test::CliPath() + "' " + args;
}

// The names the fixture script gives (make-damaged.sh).
std::string Repeated(const std::string& text, size_t length, const std::string& suffix) {
  std::string name;
  while (name.size() < length) name += text;
  return name.substr(0, length - suffix.size() - 1) + "x" + suffix;
}

struct Scan {
  int exit = -1;
  std::string out, err;
};

// The listing line of path ("" when it is not listed).
std::string LineOf(const std::string& listing, const std::string& path) {
  const size_t end = listing.find("  " + path + "\n");
  if (end == std::string::npos) return "";
  const size_t begin = listing.rfind('\n', end);
  return listing.substr(begin == std::string::npos ? 0 : begin + 1, end - begin);
}

Scan RunScan(const std::string& args) {
  test::TempDir data, log;
  Scan scan;
  scan.exit = test::RunCommand(Cli(data.path(), args + " 2>'" + log.File("err") + "'"), &scan.out);
  const auto err = test::ReadFileBytes(log.File("err"));
  scan.err.assign(err.begin(), err.end());
  return scan;
}

TEST(DamagedVolumeCommand, NamesOfTwentyLongNamePartsAreListedWithTheEntriesAfterThem) {
  const std::string image = test::FixturePath("lfn20-fat16.img");
  const std::string photo = Repeated("Holiday picture taken on the beach at sunset ", 251, ".jpg");
  const std::string folder = Repeated("A folder with a very long name ", 250, "");
  for (const char* mode : {"--fast ", ""}) {
    SCOPED_TRACE(mode);
    const Scan scan = RunScan("scan " + std::string(mode) + "'" + image + "'");
    ASSERT_EQ(scan.exit, 0) << scan.err;
    EXPECT_EQ(LineOf(scan.out, "/" + photo).rfind("f deleted intact         8798  ", 0), 0u) << scan.out;
    for (const std::string& after : std::vector<std::string>{"/_hird.jpg", "/_ourth.txt", "/" + folder + "/_nner.txt"})
      EXPECT_NE(LineOf(scan.out, after), "") << after << " is missing\n" << scan.out;
  }
  test::TempDir data, dest;
  std::string out;
  ASSERT_EQ(test::RunCommand(Cli(data.path(), "recover --fast '" + image + "' --to '" + dest.path() + "' 2>/dev/null"), &out), 0);
  EXPECT_EQ(test::Sha256File(dest.File("photo/" + photo)), test::Sha256File(test::FixturePath("damaged-src/long.jpg")))
      << out;
}

TEST(DamagedVolumeCommand, ADamagedPrimaryBootSectorGivesWayToItsBackup) {
  struct Case {
    const char* intact;
    const char* damaged;
    const char* backupSector;
  };
  for (const Case& c : {Case{"fat32-bootok.img", "fat32-badboot.img", "6"},
                        Case{"ntfs-bootok.img", "ntfs-badboot.img", "16383"}}) {
    SCOPED_TRACE(c.damaged);
    const std::string damaged = test::FixturePath(c.damaged);
    const std::string before = test::Sha256File(damaged);
    const Scan intact = RunScan("scan --fast '" + test::FixturePath(c.intact) + "'");
    const Scan scan = RunScan("scan --fast '" + damaged + "'");
    ASSERT_EQ(scan.exit, 0) << scan.err;
    EXPECT_NE(intact.out.find(" deleted "), std::string::npos) << intact.out;
    EXPECT_EQ(scan.out, intact.out);
    EXPECT_NE(scan.err.find("warning: the boot sector of " + damaged +
                            " is damaged; scanning from its backup copy at sector " + c.backupSector + "\n"),
              std::string::npos)
        << scan.err;
    const Scan probe = RunScan("probe '" + damaged + "'");
    EXPECT_NE(probe.out.find("fast engine: fast-"), std::string::npos) << probe.out;
    EXPECT_NE(probe.err.find("its backup copy at sector"), std::string::npos) << probe.err;
    EXPECT_EQ(test::Sha256File(damaged), before);
  }
}

TEST(DamagedVolumeCommand, TablesLargerThanTheSourceAreSweptForFilesInstead) {
  const std::string image = test::FixturePath("fat32-absurd.img");
  const std::string photo = test::FixturePath("damaged-src/photo.jpg");
  const Scan fast = RunScan("scan --fast '" + image + "'");
  EXPECT_EQ(fast.exit, 2);
  EXPECT_NE(fast.err.find("describes a file system larger than the source"), std::string::npos) << fast.err;
  EXPECT_EQ(fast.err.find("Invalid parameter"), std::string::npos) << fast.err;

  test::TempDir data, dest;
  std::string out;
  ASSERT_EQ(test::RunCommand(Cli(data.path(), "recover '" + image + "' --ext jpg --to '" + dest.path() + "' 2>&1"), &out), 0)
      << out;
  EXPECT_NE(out.find("searching the whole source for files instead"), std::string::npos) << out;
  bool found = false;
  for (const auto& entry : fs::recursive_directory_iterator(dest.path()))
    found = found || (entry.is_regular_file() && test::Sha256File(entry.path().string()) == test::Sha256File(photo));
  EXPECT_TRUE(found) << "the planted picture was not carved\n" << out;
}

}  // namespace
}  // namespace salvora
