// salvora-cli scan stopped in the middle of its sweep, by Ctrl-C and by SIGKILL, and resumed.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "carving/PlantedImage.h"
#include "scan/ScanCheckpoint.h"
#include "scan/ScanLogCatalogue.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

// Long enough for the sweep to take a few seconds; sparse, so it costs no disk space.
constexpr uint64_t kImageBytes = 2ull << 30;
constexpr int kPlantedFiles = 48;
// Generous: the machine may be shared, the build may be instrumented.
constexpr auto kPatience = std::chrono::minutes(4);

std::string Slurp(const std::string& path) {
  auto bytes = test::ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// A sparse image without a file system, real files planted all along it.
void MakeSparseImage(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, off_t(kImageBytes)), 0);
  const char* exts[] = {"jpg", "png", "gif", "bmp", "wav"};
  for (int i = 0; i < kPlantedFiles; ++i) {
    auto bytes = test::MediaSample(exts[i % 5]);
    ASSERT_FALSE(bytes.empty()) << exts[i % 5];
    const uint64_t at = (kImageBytes / kPlantedFiles / 512 * 512) * uint64_t(i) + 4096;
    ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), off_t(at)), ssize_t(bytes.size()));
  }
  ::close(fd);
}

// One run of the program with stdout and stderr in files and no terminal.
class CliRun {
 public:
  CliRun(const std::string& dataDir, const std::vector<std::string>& args, const std::string& folder,
         std::vector<std::string> extraEnv = {})
      : out_(folder + "/out.txt"), err_(folder + "/err.txt") {
    pid_ = ::fork();
    if (pid_ != 0) return;
    int in = ::open("/dev/null", O_RDONLY);
    int out = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = ::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0) ::_exit(120);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    for (auto& setting : extraEnv) ::putenv(setting.data());
    test::ExecCli(dataDir, args);
  }
  ~CliRun() {
    if (pid_ > 0 && !waited_) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
  }

  bool Started() const { return pid_ > 0; }
  void Signal(int sig) { ::kill(pid_, sig); }
  // The exit code, or 128 + the signal that ended it.
  int Wait() {
    if (waited_) return status_;
    int status = 0;
    ::waitpid(pid_, &status, 0);
    waited_ = true;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return status_;
  }
  bool Running() {
    if (waited_) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == 0) return true;
    waited_ = true;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
  }
  std::string Out() const { return Slurp(out_); }
  std::string Err() const { return Slurp(err_); }

 private:
  std::string out_, err_;
  pid_t pid_ = -1;
  bool waited_ = false;
  int status_ = -1;
};

// Waits, without a time limit on the result, until done() holds or the program ends.
bool WaitWhileRunning(CliRun& run, const std::function<bool()>& done) {
  const auto until = std::chrono::steady_clock::now() + kPatience;
  while (std::chrono::steady_clock::now() < until) {
    if (done()) return true;
    if (!run.Running()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

// The sectors swept according to the last progress line, or 0.
uint64_t SweptSoFar(const std::string& err) {
  static const std::regex line(R"((\d+) / (\d+) sectors)");
  uint64_t swept = 0;
  for (auto it = std::sregex_iterator(err.begin(), err.end(), line); it != std::sregex_iterator(); ++it) {
    uint64_t current = std::stoull((*it)[1]), total = std::stoull((*it)[2]);
    if (current < total) swept = current;
  }
  return swept;
}

// The checkpoint of the only session in the data folder, if one has been written.
bool ReadCheckpoint(const std::string& dataDir, ScanCheckpoint& out, std::string* folder = nullptr) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dataDir + "/SalvoraData/ScanLog", ec)) {
    if (!entry.is_directory()) continue;
    if (out.Read(entry.path().string()) == 0) {
      if (folder) *folder = entry.path().string() + "/";
      return true;
    }
  }
  return false;
}

class ScanInterruptTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    image_ = new test::TempDir;
    MakeSparseImage(Image());
    test::TempDir data, logs;
    CliRun run(data.path(), {"scan", Image()}, logs.path());
    ASSERT_TRUE(run.Started());
    ASSERT_EQ(run.Wait(), 0) << run.Err();
    uninterrupted_ = new std::string(run.Out());
  }
  static void TearDownTestSuite() {
    delete uninterrupted_;
    delete image_;
  }
  static std::string Image() { return image_->File("nofs.img"); }
  static const std::string& Uninterrupted() { return *uninterrupted_; }
  // The listing every interrupted scan must end with: each planted file once, in the folder of
  // carved files.
  static bool UninterruptedListsThePlantedFiles() {
    return uninterrupted_ &&
           uninterrupted_->find("# " + std::to_string(kPlantedFiles) + " files in 1 folders") != std::string::npos;
  }

  static test::TempDir* image_;
  static std::string* uninterrupted_;
};

test::TempDir* ScanInterruptTest::image_ = nullptr;
std::string* ScanInterruptTest::uninterrupted_ = nullptr;

TEST_F(ScanInterruptTest, CtrlCSavesTheScanAndResumeFinishesIt) {
  ASSERT_TRUE(UninterruptedListsThePlantedFiles()) << (uninterrupted_ ? *uninterrupted_ : "");
  test::TempDir data, logs;
  {
    CliRun run(data.path(), {"scan", Image()}, logs.path());
    ASSERT_TRUE(run.Started());
    ASSERT_TRUE(WaitWhileRunning(run, [&] { return SweptSoFar(run.Err()) > 0; }))
        << "the sweep never reported progress: " << run.Err();
    run.Signal(SIGINT);
    ASSERT_EQ(run.Wait(), 130) << run.Err();
    const std::string err = run.Err();
    EXPECT_NE(err.find("salvora-cli: saved the scan of " + Image() + " at sector "), std::string::npos) << err;
    EXPECT_NE(err.find("run it again with --resume to continue"), std::string::npos) << err;
  }
  CliRun again(data.path(), {"scan", "--resume", Image()}, logs.path());
  ASSERT_TRUE(again.Started());
  ASSERT_EQ(again.Wait(), 0) << again.Err();
  EXPECT_NE(again.Err().find("salvora-cli: continuing the scan of " + Image() + " at sector "), std::string::npos)
      << again.Err();
  EXPECT_EQ(again.Out(), Uninterrupted());
}

TEST_F(ScanInterruptTest, SigkillLeavesACheckpointThatResumeContinuesFrom) {
  ASSERT_TRUE(UninterruptedListsThePlantedFiles()) << (uninterrupted_ ? *uninterrupted_ : "");
  test::TempDir data, logs;
  const std::string scanLog = data.path() + "/SalvoraData/ScanLog";
  {
    CliRun run(data.path(), {"scan", Image()}, logs.path(), {"SALVORA_CHECKPOINT_SECONDS=0.1"});
    ASSERT_TRUE(run.Started());
    // Killed once a checkpoint inside the sweep, past the first planted files, is on disk.
    ScanCheckpoint seen;
    ASSERT_TRUE(WaitWhileRunning(run, [&] {
      return ReadCheckpoint(data.path(), seen) && seen.Position().totalSwept > 0 &&
             seen.Position().totalSwept < kImageBytes / 512 && seen.Position().foundBefore > 0;
    })) << "no checkpoint inside the sweep: " << run.Err();
    run.Signal(SIGKILL);
    ASSERT_EQ(run.Wait(), 128 + SIGKILL);
  }
  // The catalogue is whole (a rewrite cut short is repaired when it is read) and holds the scan.
  ScanCheckpoint checkpoint;
  std::string session;
  ASSERT_TRUE(ReadCheckpoint(data.path(), checkpoint, &session));
  const ResumePosition at = checkpoint.Position();
  ScanLogCatalogue catalogue(scanLog);
  ASSERT_EQ(catalogue.Entries().size(), 1u);
  EXPECT_EQ(catalogue.Entries()[0].SessionFolder(), session);
  EXPECT_LE(catalogue.Entries()[0].Resume().totalSwept, at.totalSwept);
  EXPECT_GT(at.totalSwept, 0u);
  EXPECT_LT(at.totalSwept, kImageBytes / 512);

  CliRun again(data.path(), {"scan", "--resume", Image()}, logs.path());
  ASSERT_TRUE(again.Started());
  ASSERT_EQ(again.Wait(), 0) << again.Err();
  const std::string expected = "salvora-cli: continuing the scan of " + Image() + " at sector " +
                               std::to_string(at.rangeStart + at.rangeSwept) + " (" +
                               std::to_string(at.totalSwept) + " sectors swept, " +
                               std::to_string(at.foundBefore) + " found before)";
  EXPECT_NE(again.Err().find(expected), std::string::npos) << again.Err();
  EXPECT_EQ(again.Out(), Uninterrupted());
}

TEST_F(ScanInterruptTest, AFinishedScanIsNeverContinued) {
  ASSERT_TRUE(UninterruptedListsThePlantedFiles()) << (uninterrupted_ ? *uninterrupted_ : "");
  test::TempDir data, logs;
  {
    CliRun run(data.path(), {"scan", Image()}, logs.path());
    ASSERT_TRUE(run.Started());
    ASSERT_EQ(run.Wait(), 0) << run.Err();
  }
  ScanCheckpoint left;
  EXPECT_FALSE(ReadCheckpoint(data.path(), left)) << "a finished scan left its checkpoint";
  // Even asked to resume, the program scans afresh and says there is nothing to continue.
  CliRun again(data.path(), {"scan", "--resume", Image()}, logs.path());
  ASSERT_TRUE(again.Started());
  ASSERT_EQ(again.Wait(), 0) << again.Err();
  EXPECT_EQ(again.Err().find("continuing the scan"), std::string::npos) << again.Err();
  EXPECT_NE(again.Err().find("no unfinished scan of " + Image()), std::string::npos) << again.Err();
  EXPECT_EQ(again.Out(), Uninterrupted());
  EXPECT_FALSE(ReadCheckpoint(data.path(), left));
}

// A disk of two volumes whose first volume's scan was cut off: every question (here answered by
// --resume) is settled before the first volume is read, so "no unfinished scan" of the second
// comes before the first volume goes on.
TEST_F(ScanInterruptTest, ADiskOfSeveralVolumesSettlesEveryQuestionBeforeItStarts) {
  if (!test::HaveTool("sfdisk")) GTEST_SKIP() << "sfdisk writes the partition table";
  test::TempDir data, logs, disk;
  const std::string image = disk.File("two.img");
  ASSERT_EQ(std::system(("cp --sparse=always '" + Image() + "' '" + image + "'").c_str()), 0);
  // The planted stretch as the first volume, a small empty one behind it.
  const uint64_t sectors = kImageBytes / 512;
  const std::string table = "2048," + std::to_string(sectors - 2048 - 40960) + ",c\n" +
                            std::to_string(sectors - 38912) + ",,c\n";
  ASSERT_EQ(std::system(("printf '" + table + "' | sfdisk -q '" + image + "' >/dev/null 2>&1").c_str()), 0);
  const std::string map = "SALVORA_DISK_MAP=0=" + image;
  {
    CliRun run(data.path(), {"scan", "disk:0"}, logs.path(), {map});
    ASSERT_TRUE(run.Started());
    ASSERT_TRUE(WaitWhileRunning(run, [&] { return SweptSoFar(run.Err()) > 0; })) << run.Err();
    run.Signal(SIGINT);
    ASSERT_EQ(run.Wait(), 130) << run.Err();
  }
  CliRun again(data.path(), {"scan", "--resume", "disk:0"}, logs.path(), {map});
  ASSERT_TRUE(again.Started());
  ASSERT_EQ(again.Wait(), 0) << again.Err();
  const std::string err = again.Err();
  const size_t settled = err.find("no unfinished scan of ");
  const size_t goesOn = err.find("continuing the scan of ");
  ASSERT_NE(settled, std::string::npos) << err;
  ASSERT_NE(goesOn, std::string::npos) << err;
  EXPECT_LT(settled, goesOn) << err;
  EXPECT_EQ(err.find("no unfinished scan of ", settled + 1), std::string::npos) << "asked once: " << err;
}

// exFAT cards: a quick-formatted one, whose lost tree the deep exFAT engine holds in memory until
// the sweep ends and where carving measures a long clip, and a live one. Killed after a checkpoint
// inside the sweep (each read slowed, so the kill falls in the sweep however fast the machine),
// then resumed: the listing is the uninterrupted one and the card is untouched.
TEST(ScanInterruptExfat, SigkilledCardScanResumesToTheUninterruptedListing) {
  for (const char* name : {"exfat-formatted.img", "exfat-card.img"}) {
    SCOPED_TRACE(name);
    const std::string image = test::FixturePath(name);
    const std::string hash = test::Sha256File(image);
    const uint64_t sectors = fs::file_size(image) / 512;
    test::TempDir fresh, data, logs;
    CliRun whole(fresh.path(), {"scan", image}, logs.path());
    ASSERT_EQ(whole.Wait(), 0) << whole.Err();
    const std::string uninterrupted = whole.Out();
    {
      CliRun run(data.path(), {"scan", image}, logs.path(),
                 {"SALVORA_CHECKPOINT_SECONDS=0.1", "SALVORA_FAULTS=" + image + "=slow:1000"});
      ScanCheckpoint seen;
      ASSERT_TRUE(WaitWhileRunning(run, [&] {
        return ReadCheckpoint(data.path(), seen) && seen.Position().totalSwept > 0 &&
               seen.Position().totalSwept < sectors && seen.Position().foundBefore > 0 && seen.DeepSectors() > 0;
      })) << "no checkpoint inside the sweep: " << run.Err();
      run.Signal(SIGKILL);
      ASSERT_EQ(run.Wait(), 128 + SIGKILL);
    }
    ScanCheckpoint checkpoint;
    ASSERT_TRUE(ReadCheckpoint(data.path(), checkpoint));
    const ResumePosition at = checkpoint.Position();
    CliRun again(data.path(), {"scan", "--resume", image}, logs.path());
    ASSERT_EQ(again.Wait(), 0) << again.Err();
    EXPECT_NE(again.Err().find("continuing the scan of " + image + " at sector " +
                               std::to_string(at.rangeStart + at.rangeSwept) + " (" + std::to_string(at.totalSwept) +
                               " sectors swept, " + std::to_string(at.foundBefore) + " found before)"),
              std::string::npos)
        << again.Err();
    EXPECT_EQ(again.Out(), uninterrupted);
    EXPECT_EQ(test::Sha256File(image), hash);
  }
}

}  // namespace
}  // namespace salvora
