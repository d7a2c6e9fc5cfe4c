// salvora-cli scan, recover and image against an image file of mode 0444, traced: every open of
// the image, in every process, asks for reading only, and the image's bytes stay the same.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "support/TestSupport.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

// The open calls of a trace that name path.
std::vector<std::string> OpensOf(const std::string& trace, const std::string& path) {
  std::vector<std::string> opens;
  std::ifstream in(trace);
  std::string line;
  while (std::getline(in, line))
    if (line.find("open") != std::string::npos && line.find("\"" + path + "\"") != std::string::npos)
      opens.push_back(line);
  return opens;
}

TEST(ReadOnlySourceCommand, EveryOpenOfTheSourceIsReadOnly) {
  if (!test::HaveTool("strace")) GTEST_SKIP() << "strace missing";
  test::TempDir dir, data;
  const std::string image = dir.File("card.img");
  fs::copy_file(test::FixturePath("fat16-del.img"), image);
  ASSERT_EQ(::chmod(image.c_str(), 0444), 0);
  const std::string before = test::Sha256File(image);
  // LeakSanitizer cannot run under ptrace; the same commands are leak-checked by other tests.
  const std::string cli = "ASAN_OPTIONS=detect_leaks=0 SALVORA_DATA_DIR='" + data.path() + "' SALVORA_DISK_MAP='0=" + image +
                          "' strace -f -qq -e trace=open,openat,openat2,creat -o '" + dir.File("trace") + "' '" +
                          test::CliPath() + "' ";
  struct Run {
    std::string args;
    int exit;
  };
  for (const Run& run : {Run{"scan '" + image + "'", 0},
                         Run{"recover '" + image + "' --to '" + dir.File("out") + "'", 0},
                         Run{"image disk:0 '" + dir.File("copy.img") + "'", 0}}) {
    std::string out;
    EXPECT_EQ(test::RunCommand(cli + run.args + " 2>&1", &out), run.exit) << run.args << "\n" << out;
    const auto opens = OpensOf(dir.File("trace"), image);
    EXPECT_FALSE(opens.empty()) << run.args;
    for (const auto& line : opens) {
      EXPECT_NE(line.find("O_RDONLY"), std::string::npos) << run.args << ": " << line;
      EXPECT_EQ(line.find("O_RDWR"), std::string::npos) << run.args << ": " << line;
      EXPECT_EQ(line.find("O_WRONLY"), std::string::npos) << run.args << ": " << line;
      EXPECT_EQ(line.find("O_TRUNC"), std::string::npos) << run.args << ": " << line;
    }
    EXPECT_EQ(test::Sha256File(image), before) << run.args;
  }
  EXPECT_EQ(test::Sha256File(dir.File("copy.img")), before);
  EXPECT_TRUE(fs::exists(dir.File("out/photo/_hoto1.jpg")));
}

}  // namespace
}  // namespace salvora
