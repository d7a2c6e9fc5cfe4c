// A source read through a loop device can be named many ways: the device node, the file behind
// it, a hard link or a symlink to that file. salvora-cli refuses every one of them as a report, an
// image or a map, whatever flags are given, and writes nothing to a device node.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "storage/LoopDevice.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

std::string Cli(const std::string& dataDir, const std::string& args, const std::string& disk0 = "") {
  return (disk0.empty() ? "" : "SALVORA_DISK_MAP='0=" + disk0 + "' ") + "SALVORA_DATA_DIR='" + dataDir +
         "' timeout 60 '" + test::CliPath() + "' " + args + " 2>&1";
}

bool IsBlockDevice(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISBLK(st.st_mode);
}

class LoopSource : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy_file(test::FixturePath("fat12-del.img"), image_);
    loop_ = std::make_unique<test::LoopDevice>(image_, "");
    if (!loop_->Available()) GTEST_SKIP() << loop_->Why();
    ASSERT_EQ(::link(image_.c_str(), dir_.File("link.img").c_str()), 0);
    fs::create_symlink(image_, dir_.File("symlink.img"));
    before_ = test::Sha256File(image_);
  }

  // Every name of the source: the file behind the loop device, a hard link, a symlink, the node.
  std::vector<std::string> NamesOfTheSource() const {
    return {image_, dir_.File("link.img"), dir_.File("symlink.img"), loop_->Device()};
  }

  // Runs args, which must be refused with exit 2 naming target and leaving the source whole.
  void ExpectRefused(const std::string& args, const std::string& target, const std::string& disk0 = "") {
    std::string out;
    EXPECT_EQ(test::RunCommand(Cli(data_.path(), args, disk0), &out), 2) << args << "\n" << out;
    EXPECT_NE(out.find(target), std::string::npos) << args << "\n" << out;
    EXPECT_NE(out.find(loop_->Device()), std::string::npos) << "names the source: " << out;
    EXPECT_EQ(test::Sha256File(image_), before_) << args;
    EXPECT_TRUE(IsBlockDevice(loop_->Device())) << args;
    EXPECT_TRUE(fs::is_symlink(dir_.File("symlink.img")));
    EXPECT_FALSE(fs::exists(dir_.File("out"))) << "refused before any work: " << args;
    EXPECT_FALSE(fs::exists(dir_.File("copy.img"))) << args;
  }

  test::TempDir dir_, data_;
  const std::string image_ = dir_.File("card.img");
  std::unique_ptr<test::LoopDevice> loop_;
  std::string before_;
};

TEST_F(LoopSource, NoNameOfTheSourceTakesTheReportImageOrMap) {
  const std::string& device = loop_->Device();
  for (const std::string& target : NamesOfTheSource()) {
    for (const char* flags : {"", " --overwrite", " --overwrite --force"})
      ExpectRefused("recover --fast " + device + " --to '" + dir_.File("out") + "' --report '" + target + "'" + flags,
                    target);
    for (const char* flags : {"", " --overwrite"}) {
      // The copy named by disk number and by the device's path, as users type it.
      ExpectRefused("image disk:0 '" + target + "'" + flags, target, device);
      ExpectRefused("image " + device + " '" + target + "'" + flags, target);
      ExpectRefused("image " + device + " '" + dir_.File("copy.img") + "' --map '" + target + "'" + flags, target);
    }
  }
}

TEST_F(LoopSource, DeviceNodesAndOtherNonFilesAreNeverWritten) {
  const std::string fifo = dir_.File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  struct Case {
    std::string args, says;
  };
  const Case cases[] = {
      // A device node that is not the source is refused too, and so is a FIFO, --overwrite or not.
      {"recover --fast '" + image_ + "' --to '" + dir_.File("out") + "' --report /dev/null --overwrite",
       "the report /dev/null is a character device"},
      {"recover --fast '" + image_ + "' --to '" + dir_.File("out") + "' --report '" + fifo + "' --overwrite --force",
       "is a FIFO; only a regular file is ever replaced"},
      // The loop device over the image being read is the source itself.
      {"recover --fast '" + image_ + "' --to '" + dir_.File("out") + "' --report " + loop_->Device() + " --overwrite",
       "would replace the source " + image_},
      {"recover --fast '" + image_ + "' --to " + loop_->Device(), "would replace the source " + image_},
      {"image /dev/null '" + dir_.File("copy.img") + "'", "'/dev/null' is a character device; image copies a block device"},
      {"image '" + image_ + "' '" + dir_.File("copy.img") + "'", "is a file; image copies a block device"},
  };
  for (const Case& c : cases) {
    std::string out;
    EXPECT_EQ(test::RunCommand(Cli(data_.path(), c.args), &out), 2) << c.args << "\n" << out;
    EXPECT_NE(out.find(c.says), std::string::npos) << c.args << "\n" << out;
  }
  EXPECT_EQ(test::Sha256File(image_), before_);
  EXPECT_TRUE(IsBlockDevice(loop_->Device()));
  struct stat st {};
  EXPECT_TRUE(::stat("/dev/null", &st) == 0 && S_ISCHR(st.st_mode));
  EXPECT_FALSE(fs::exists(dir_.File("copy.img")));
}

// The device as users type it; the map's temporary, planted as a hard link to the source, is
// replaced, never written through.
TEST_F(LoopSource, ImageTakesABlockDeviceByItsPath) {
  ASSERT_EQ(::link(image_.c_str(), dir_.File(".copy.map.tmp").c_str()), 0);
  std::string out;
  EXPECT_EQ(test::RunCommand(Cli(data_.path(), "image " + loop_->Device() + " '" + dir_.File("copy.img") + "' --map '" +
                                                   dir_.File("copy.map") + "'"), &out), 0)
      << out;
  EXPECT_EQ(test::Sha256File(dir_.File("copy.img")), before_);
  EXPECT_EQ(test::Sha256File(image_), before_);
}

}  // namespace
}  // namespace salvora
