// salvora-cli recover writing into destinations that cannot take a file as found: names longer
// than the file system or the path allows, a destination that fills up mid-copy, and Ctrl-C.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "support/SmallFileSystem.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

std::string Cli(const std::string& dataDir, const std::string& args) {
  return "SALVORA_DATA_DIR='" + dataDir + "' '" + test::CliPath() + "' " + args;
}

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

// The deleted files of fat-longnames.img: two names of 257 UTF-8 bytes, legal on FAT.
const std::string kLongA = Repeat("\xE5\x86\x99", 84) + "a.txt";
const std::string kLongB = Repeat("\xE5\x86\x99", 84) + "b.txt";

std::string Source(const std::string& name) { return test::FixturePath("fat-longnames-src/" + name); }

std::set<std::string> NamesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(folder)) names.insert(e.path().filename().string());
  return names;
}

TEST(RecoveryOutput, NamesTooLongForTheDestinationAreShortenedKeepingExtensionAndUniqueness) {
  test::TempDir work, data;
  const std::string image = test::FixturePath("fat-longnames.img"), dest = work.File("out");
  std::string out;
  ASSERT_EQ(test::RunCommand(Cli(data.path(), "recover --fast '" + image + "' --to '" + dest + "' --report '" +
                                                  work.File("r.xml") + "' 2>&1"), &out), 0) << out;
  // Cut on a character boundary before ".txt" to 255 bytes; the second, which then collides,
  // is numbered within the same limit.
  const std::string first = Repeat("\xE5\x86\x99", 83) + ".txt", second = Repeat("\xE5\x86\x99", 82) + "(1).txt";
  EXPECT_EQ(NamesIn(dest + "/document"), (std::set<std::string>{first, second, "_ig.txt"})) << out;
  EXPECT_EQ(std::set<std::string>({test::Sha256File(dest + "/document/" + first),
                                   test::Sha256File(dest + "/document/" + second)}),
            std::set<std::string>({test::Sha256File(Source("a.txt")), test::Sha256File(Source("b.txt"))}));
  EXPECT_NE(out.find(kLongA + " -> "), std::string::npos) << out;
  EXPECT_NE(out.find(": Success (name shortened to fit the destination)"), std::string::npos) << out;
  const auto report = test::ReadFileBytes(work.File("r.xml"));
  EXPECT_NE(std::string(report.begin(), report.end()).find("original_name=\"" + kLongB + "\""), std::string::npos);

  // A destination deep enough that the path, not the name, runs out first: 4095 bytes in all.
  std::string deep = work.File("deep");
  while (deep.size() < 3920) deep += "/" + std::string(195, 'd');
  ASSERT_EQ(test::RunCommand("mkdir -p '" + deep + "'"), 0);
  ASSERT_EQ(test::RunCommand(Cli(data.path(), "recover --fast '" + image + "' --to '" + deep + "' 2>&1"), &out), 0)
      << out;
  const std::set<std::string> names = NamesIn(deep + "/document");
  EXPECT_EQ(names.size(), 3u) << out;
  for (const auto& name : names) {
    EXPECT_LE(deep.size() + 10 + name.size(), 4095u) << name;
    EXPECT_EQ(name.substr(name.size() - 4), ".txt");
  }
  test::RunCommand("rm -rf '" + work.File("deep") + "'");
}

// What is in the destination: every one is whole and said to be, and nothing is
// left behind under a temporary name.
void ExpectOnlyWholeFiles(const std::string& dest, const std::string& out) {
  for (const auto& e : fs::recursive_directory_iterator(dest)) {
    const std::string name = e.path().filename().string();
    EXPECT_EQ(name.find("salvora-part"), std::string::npos) << name;
    if (e.is_regular_file() && name.find(".partial") == std::string::npos) {
      EXPECT_NE(out.find(e.path().string() + ": Success"), std::string::npos) << name << "\n" << out;
    }
  }
}

TEST(RecoveryOutput, AFileThatDoesNotFitIsNeverLeftTruncatedUnderItsName) {
  test::SmallFileSystem small(1024 * 1024);
  if (!small.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
  small.FillLeaving(96 * 1024);
  test::TempDir data;
  const std::string image = test::FixturePath("fat-longnames.img"), removed = small.path() + "/removed";
  std::string out;
  EXPECT_EQ(test::RunCommand(Cli(data.path(), "recover --fast '" + image + "' --to '" + removed + "' 2>&1"), &out), 1)
      << out;
  EXPECT_NE(out.find("/_ig.txt: No space left on device\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Finished 3 of 3 files: 2 recovered, 1 failed"), std::string::npos) << out;
  EXPECT_FALSE(fs::exists(removed + "/document/_ig.txt"));
  ExpectOnlyWholeFiles(removed, out);

  // Asked to, what was copied stays, under a name that says it is partial.
  const std::string kept = small.path() + "/kept";
  EXPECT_EQ(test::RunCommand(Cli(data.path(), "recover --fast --keep-partial '" + image + "' --to '" + kept + "' 2>&1"),
                             &out), 1)
      << out;
  EXPECT_FALSE(fs::exists(kept + "/document/_ig.txt"));
  ASSERT_TRUE(fs::exists(kept + "/document/_ig.partial.txt")) << out;
  EXPECT_GT(fs::file_size(kept + "/document/_ig.partial.txt"), 0u);
  EXPECT_LT(fs::file_size(kept + "/document/_ig.partial.txt"), 300000u);
  EXPECT_NE(out.find(" -> " + kept + "/document/_ig.partial.txt: No space left on device (partial: "),
            std::string::npos) << out;
  ExpectOnlyWholeFiles(kept, out);
}

// A FAT volume whose one deleted file, others/_uge.bin once recovered, holds 64 MiB.
bool MakeVolumeWithHugeDeletedFile(const test::TempDir& work, const std::string& image) {
  return test::RunCommand("head -c 64M /dev/zero > '" + work.File("huge.bin") + "' && mkfs.fat -C '" + image +
                          "' 80000 >/dev/null && mcopy -i '" + image + "' '" + work.File("huge.bin") +
                          "' ::/huge.bin && mdel -i '" + image + "' ::/huge.bin && rm '" + work.File("huge.bin") +
                          "'") == 0;
}

// Starts recover in the background with each read of the source waiting a little, so the copy
// lasts seconds however busy the machine; its pid lands in work/pid, and its exit code in
// work/rc, which takes its name only once written.
bool StartSlowRecovery(const test::TempDir& work, const std::string& dataDir, const std::string& image,
                       const std::string& dest) {
  const std::string run = "(sh -c 'echo $$ > \"$0\"; exec \"$@\"' '" + work.File("pid") + "' env SALVORA_DATA_DIR='" +
                          dataDir + "' SALVORA_FAULTS='" + image + "=slow:50' '" + test::CliPath() +
                          "' recover --fast '" + image + "' --to '" + dest + "'; echo $? > '" + work.File("rc.new") +
                          "' && mv '" + work.File("rc.new") + "' '" + work.File("rc") + "') >/dev/null 2>&1 &";
  return test::RunCommand(run) == 0;
}

// The names of the program's temporaries under folder.
std::set<std::string> TemporariesIn(const std::string& folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::recursive_directory_iterator(folder, ec))
    if (e.path().filename().string().find("salvora-part") != std::string::npos) names.insert(e.path().filename());
  return names;
}

// Sends sig to the recovery started by StartSlowRecovery once its temporary is on disk, and
// returns its exit code as the shell saw it.
std::string StopMidCopy(const test::TempDir& work, const std::string& dest, int sig) {
  bool copying = false;
  for (int i = 0; i < 3000 && !(copying = !TemporariesIn(dest).empty()); ++i) ::usleep(10000);
  if (!copying) return "the copy never started";
  const auto pid = test::ReadFileBytes(work.File("pid"));
  if (::kill(std::stoi(std::string(pid.begin(), pid.end())), sig) != 0) return "no process";
  for (int i = 0; i < 3000 && !fs::exists(work.File("rc")); ++i) ::usleep(10000);
  const auto rc = test::ReadFileBytes(work.File("rc"));
  return std::string(rc.begin(), rc.end());
}

// Ctrl-C while a large file is being copied: the run ends with 130 and leaves neither that file
// under its name nor its temporary.
TEST(RecoveryOutput, CtrlCMidCopyRemovesTheFileBeingWritten) {
  for (const char* tool : {"mkfs.fat", "mcopy", "mdel"})
    if (!test::HaveTool(tool)) GTEST_SKIP() << tool << " missing";
  test::TempDir work, data;
  const std::string image = work.File("vol.img"), dest = work.File("out");
  ASSERT_TRUE(MakeVolumeWithHugeDeletedFile(work, image));
  ASSERT_TRUE(StartSlowRecovery(work, data.path(), image, dest));
  EXPECT_EQ(StopMidCopy(work, dest, SIGINT), "130\n");
  EXPECT_TRUE(TemporariesIn(dest).empty());
  EXPECT_FALSE(fs::exists(dest + "/others/_uge.bin"));
}

// SIGKILL leaves the temporary behind; the next recovery into that folder removes it, and only
// it: a lookalike that is not hidden, and a temporary another live run is writing, stay.
TEST(RecoveryOutput, ATemporaryLeftByAKilledRunGoesWithTheNextRun) {
  for (const char* tool : {"mkfs.fat", "mcopy", "mdel"})
    if (!test::HaveTool(tool)) GTEST_SKIP() << tool << " missing";
  test::TempDir work, data;
  const std::string image = work.File("vol.img"), dest = work.File("out");
  ASSERT_TRUE(MakeVolumeWithHugeDeletedFile(work, image));
  ASSERT_TRUE(StartSlowRecovery(work, data.path(), image, dest));
  ASSERT_EQ(StopMidCopy(work, dest, SIGKILL), "137\n");
  ASSERT_EQ(TemporariesIn(dest), (std::set<std::string>{"._uge.bin.salvora-part"}));
  test::WriteFileBytes(dest + "/others/mine.salvora-part", {'k'});
  const std::string live = dest + "/others/.other-run.bin.salvora-part";
  const int held = ::open(live.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);

  std::string out;
  EXPECT_EQ(test::RunCommand(Cli(data.path(), "recover --fast '" + image + "' --to '" + dest + "' 2>&1"), &out), 0)
      << out;
  ::close(held);
  EXPECT_EQ(TemporariesIn(dest), (std::set<std::string>{"mine.salvora-part", ".other-run.bin.salvora-part"})) << out;
  EXPECT_EQ(fs::file_size(dest + "/others/_uge.bin"), 64u << 20);
}

}  // namespace
}  // namespace salvora
