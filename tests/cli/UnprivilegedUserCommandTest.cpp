// salvora-cli run by a normal user: an image the user owns needs no privileges, and a device the
// user may not read is refused with a message that says what reading it needs.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <filesystem>

#include "storage/LoopDevice.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

// A folder the unprivileged user owns, holding its scan logs and its own copy of the image.
struct UserFolder {
  UserFolder() {
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody) return;
    fs::permissions(dir.path(), fs::perms::all);
    usable = ::chown(dir.path().c_str(), nobody->pw_uid, nobody->pw_gid) == 0;
  }
  std::string AsUser(const std::string& args, const std::string& env = "") const {
    return "runuser -u nobody -- env SALVORA_DATA_DIR='" + dir.path() + "/data' " + env + " '" + test::CliPath() +
           "' " + args;
  }
  test::TempDir dir;
  bool usable = false;
};

TEST(UnprivilegedUser, ScansAnImageItOwnsAndIsToldWhatADeviceNeeds) {
  if (::geteuid() != 0 || !test::HaveTool("runuser")) GTEST_SKIP() << "needs root to become another user";
  UserFolder user;
  ASSERT_TRUE(user.usable);
  const std::string image = user.dir.path() + "/card.img";
  fs::copy_file(test::FixturePath("fat16-del.img"), image);
  ASSERT_EQ(test::RunCommand("chown nobody: '" + image + "' && chmod 600 '" + image + "'"), 0);

  std::string out;
  ASSERT_EQ(test::RunCommand(user.AsUser("scan --fast '" + image + "' 2>&1"), &out), 0) << out;
  EXPECT_NE(out.find("/DCIM/100CAM/Long Holiday Picture.jpg"), std::string::npos) << out;

  test::LoopDevice loop(image, "-r");
  if (!loop.Available()) GTEST_SKIP() << "loop devices are not available here: " << loop.Why();
  // Without a helper the refusal names what is missing, and nothing hangs waiting for a prompt.
  std::string err;
  EXPECT_EQ(test::RunCommand(user.AsUser("scan --fast " + loop.Device() + " 2>&1", "SALVORA_DEVICE_HELPER=/nonexistent"),
                             &err),
            2);
  EXPECT_NE(err.find("Permission denied"), std::string::npos) << err;
  EXPECT_NE(err.find("needs administrator rights"), std::string::npos) << err;
}

}  // namespace
}  // namespace salvora
