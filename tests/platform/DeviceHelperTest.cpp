#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/PrivilegedOpen.h"
#include "storage/LoopDevice.h"
#include "support/TestSupport.h"

// The read-only device helper that pkexec starts for a user who may not read a device: it must
// refuse anything but a read-only open of a block device, and the program must get a descriptor
// that reads the device and cannot write it.
namespace salvora {
namespace {

std::string HelperPath() {
  return std::filesystem::path(SALVORA_CLI_PATH).parent_path().string() + "/salvora-open-device";
}

// Runs the helper with its standard output on a socket, as the program starts it; returns its exit
// code and whether a descriptor arrived.
int RunHelper(const std::vector<std::string>& args, bool* gotDescriptor) {
  std::vector<std::string> words{HelperPath()};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  int pair[2];
  EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
  pid_t child = ::fork();
  if (child == 0) {
    ::dup2(pair[1], STDOUT_FILENO);
    ::close(STDERR_FILENO);
    ::execv(argv[0], argv.data());
    ::_exit(126);
  }
  ::close(pair[1]);
  char byte;
  *gotDescriptor = ::recv(pair[0], &byte, 1, 0) == 1;
  ::close(pair[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct HelperEnvironment {
  HelperEnvironment() {
    ::setenv("SALVORA_PRIVILEGE_LAUNCHER", "", 1);
    ::setenv("SALVORA_DEVICE_HELPER", HelperPath().c_str(), 1);
  }
  ~HelperEnvironment() {
    ::unsetenv("SALVORA_PRIVILEGE_LAUNCHER");
    ::unsetenv("SALVORA_DEVICE_HELPER");
  }
};

TEST(DeviceHelper, RefusesWritingModesAndAnythingButABlockDevice) {
  test::TempDir dir;
  const std::string image = dir.path() + "/card.img";
  std::ofstream(image) << std::string(1 << 20, 'x');
  test::LoopDevice loop(image, "-r");
  if (!loop.Available()) GTEST_SKIP() << "loop devices are not available here: " << loop.Why();

  bool got = false;
  EXPECT_EQ(RunHelper({"--mode", "w", loop.Device()}, &got), 3);
  EXPECT_FALSE(got);
  EXPECT_EQ(RunHelper({"--mode", "rw", loop.Device()}, &got), 3);
  EXPECT_EQ(RunHelper({"--mode", "r", image}, &got), 4) << "a regular file";
  EXPECT_EQ(RunHelper({"--mode", "r", "/dev/null"}, &got), 4) << "a character device";
  EXPECT_EQ(RunHelper({"--mode", "r", dir.path()}, &got), 4) << "a folder";
  EXPECT_EQ(RunHelper({"--mode", "r", "relative/path"}, &got), 4);
  EXPECT_EQ(RunHelper({loop.Device()}, &got), 2);
  EXPECT_FALSE(got);
  EXPECT_EQ(RunHelper({"--mode", "r", loop.Device()}, &got), 0);
  EXPECT_TRUE(got);
}

TEST(DeviceHelper, TheProgramGetsAReadOnlyDescriptorOfTheDeviceOnce) {
  test::TempDir dir;
  const std::string image = dir.path() + "/card.img";
  std::string bytes(1 << 20, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 7 + 3);
  std::ofstream(image, std::ios::binary) << bytes;
  const std::string before = test::Sha256File(image);
  test::LoopDevice loop(image, "");
  if (!loop.Available()) GTEST_SKIP() << "loop devices are not available here: " << loop.Why();
  HelperEnvironment environment;

  int fd = -1;
  ASSERT_EQ(platform::OpenThroughDeviceHelper(loop.Device(), &fd), 0);
  EXPECT_EQ(::fcntl(fd, F_GETFL) & O_ACCMODE, O_RDONLY);
  std::string read(4096, '\0');
  ASSERT_EQ(::pread(fd, read.data(), read.size(), 8192), 4096);
  EXPECT_EQ(read, bytes.substr(8192, 4096));
  EXPECT_LT(::pwrite(fd, "x", 1, 0), 0);
  ::close(fd);

  // A second open of the same device reuses the grant: no second authorisation prompt.
  ::setenv("SALVORA_DEVICE_HELPER", "/nonexistent", 1);
  int again = -1;
  ASSERT_EQ(platform::OpenThroughDeviceHelper(loop.Device(), &again), 0);
  EXPECT_EQ(::fcntl(again, F_GETFL) & O_ACCMODE, O_RDONLY);
  ::close(again);
  EXPECT_EQ(test::Sha256File(image), before);
}

}  // namespace
}  // namespace salvora
