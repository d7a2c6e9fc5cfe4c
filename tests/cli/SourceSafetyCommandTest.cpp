// What salvora-cli reads and writes around its source: no output lands on the source, sources
// that never end or never answer are refused at once, and Ctrl-C at a wait keeps what was saved.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "scan/ScanCheckpoint.h"
#include "scan/ScanLogCatalogue.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

std::string Cli(const std::string& dataDir, const std::string& args, const std::string& diskMap = "") {
  return (diskMap.empty() ? "" : "SALVORA_DISK_MAP='0=" + diskMap + "' ") + "SALVORA_DATA_DIR='" + dataDir +
         "' timeout 30 '" + test::CliPath() + "' " + args + " 2>&1";
}

TEST(SourceSafetyCommand, NoOutputIsWrittenOverTheSourceOrAnExistingFile) {
  test::TempDir dir, data;
  const std::string image = dir.File("card.img"), dest = dir.File("out");
  fs::copy_file(test::FixturePath("fat12-del.img"), image);
  const std::string before = test::Sha256File(image);
  std::string out;
  // The report named as the source, plain and through a disk number; --overwrite does not lift it.
  for (const std::string& source : {"'" + image + "'", std::string("disk:0")}) {
    for (const char* flags : {"", " --overwrite", " --overwrite --force"}) {
      out.clear();
      EXPECT_EQ(test::RunCommand(Cli(data.path(), "recover --fast " + source + " --to '" + dest + "' --report '" +
                                                      image + "'" + flags, image), &out), 2) << source << flags << out;
      EXPECT_NE(out.find("would replace the source"), std::string::npos) << out;
      EXPECT_EQ(test::Sha256File(image), before) << source << flags;
      EXPECT_FALSE(fs::exists(dest)) << "refused before any work";
    }
  }
  // An image copy over its own source, and an existing report, need more than a missing flag.
  out.clear();
  EXPECT_EQ(test::RunCommand(Cli(data.path(), "image disk:0 '" + image + "' --overwrite", image), &out), 2) << out;
  EXPECT_EQ(test::Sha256File(image), before);
  const std::string report = dir.File("report.xml");
  test::WriteFileBytes(report, {'k', 'e', 'e', 'p'});
  out.clear();
  EXPECT_EQ(test::RunCommand(Cli(data.path(), "recover --fast '" + image + "' --to '" + dest + "' --report '" +
                                                  report + "'"), &out), 2) << out;
  EXPECT_NE(out.find("give --overwrite"), std::string::npos) << out;
  EXPECT_EQ(test::ReadFileBytes(report).size(), 4u);
  out.clear();
  EXPECT_EQ(test::RunCommand(Cli(data.path(), "recover --fast '" + image + "' --to '" + dest + "' --report '" +
                                                  report + "' --overwrite"), &out), 0) << out;
  EXPECT_GT(test::ReadFileBytes(report).size(), 100u);
  EXPECT_EQ(test::Sha256File(image), before);
}

TEST(SourceSafetyCommand, FifosAndCharacterDevicesAreRefusedAtOnce) {
  test::TempDir dir, data;
  const std::string fifo = dir.File("card.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  struct Case {
    std::string args, diskMap, says;
  };
  const Case cases[] = {
      {"scan '" + fifo + "'", "", "is a FIFO"},
      {"recover '" + fifo + "' --to '" + dir.File("out") + "'", "", "is a FIFO"},
      {"probe '" + fifo + "'", "", "is a FIFO"},
      {"scan --fast disk:0", fifo, "is a FIFO"},
      {"image disk:0 '" + dir.File("copy.img") + "'", fifo, "is a FIFO"},
      {"scan /dev/zero", "", "is a character device"},
      {"recover --fast disk:0 --to '" + dir.File("out") + "'", "/dev/zero", "is a character device"},
  };
  for (const Case& c : cases) {
    std::string out;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(test::RunCommand(Cli(data.path(), c.args, c.diskMap), &out), 2) << c.args << "\n" << out;
    EXPECT_NE(out.find(c.says + "; a source is an image file or a block device"), std::string::npos) << c.args << out;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << c.args;
  }
  EXPECT_FALSE(fs::exists(dir.File("out")));
  EXPECT_FALSE(fs::exists(dir.File("copy.img")));
}

// Runs the program on a new terminal; the answer is the exit code, or 128 + the ending signal.
class TerminalRun {
 public:
  TerminalRun(const std::string& dataDir, const std::vector<std::string>& args) {
    pid_ = ::forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ == 0) test::ExecCli(dataDir, args);
  }
  ~TerminalRun() {
    if (pid_ > 0 && status_ < 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) ::close(master_);
  }
  bool Started() const { return pid_ > 0; }
  // Reads what the program shows until text appears (true) or it ends or a minute passes.
  bool WaitFor(const std::string& text) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (shown_.find(text) == std::string::npos) {
      if (std::chrono::steady_clock::now() > until || !ReadSome(200)) return false;
    }
    return true;
  }
  void Type(const std::string& keys) { (void)!::write(master_, keys.data(), keys.size()); }
  int Wait() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    bool open = true;
    while ((open = ReadSome(200)) && std::chrono::steady_clock::now() < until) {
    }
    if (open) ::kill(pid_, SIGKILL);  // still running after a minute
    int status = 0;
    ::waitpid(pid_, &status, 0);
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return status_;
  }
  const std::string& Shown() const { return shown_; }

 private:
  // false once the terminal is closed (the program ended).
  bool ReadSome(int timeoutMs) {
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) return true;
    char buffer[4096];
    ssize_t got = ::read(master_, buffer, sizeof buffer);
    if (got <= 0) return false;
    shown_.append(buffer, size_t(got));
    return true;
  }

  pid_t pid_ = -1;
  int master_ = -1;
  int status_ = -1;
  std::string shown_;
};

TEST(SourceSafetyCommand, CtrlCAtTheResumeQuestionCancelsAndKeepsTheSavedScan) {
  test::TempDir dir, data;
  const std::string image = dir.File("card.img");
  fs::copy_file(test::FixturePath("fat12-del.img"), image);
  ASSERT_EQ(test::RunCommand("SALVORA_DATA_DIR='" + data.path() + "' '" + test::CliPath() + "' scan '" + image +
                             "' >/dev/null 2>&1"), 0);
  const std::string scanLog = data.path() + "/SalvoraData/ScanLog";
  ASSERT_EQ(ScanLogCatalogue(scanLog).Entries().size(), 1u);
  const std::string saved = ScanLogCatalogue(scanLog).Entries()[0].SessionFolder();
  // A finished scan is never offered again: this one stands for a scan cut off before its end.
  fs::remove(saved + "/" + ScanCheckpoint::kFinishedName);

  TerminalRun run(data.path(), {"scan", image});
  ASSERT_TRUE(run.Started());
  ASSERT_TRUE(run.WaitFor("Resume it? [Y/n] ")) << run.Shown();
  run.Type("\x03");  // the terminal turns it into SIGINT for the program
  EXPECT_EQ(run.Wait(), 130) << run.Shown();
  EXPECT_NE(run.Shown().find("the saved scan of " + image + " is kept"), std::string::npos) << run.Shown();
  ScanLogCatalogue after(scanLog);
  ASSERT_EQ(after.Entries().size(), 1u);
  EXPECT_EQ(after.Entries()[0].SessionFolder(), saved);
  EXPECT_TRUE(fs::exists(saved + ScanLogCatalogue::kOwnerName));
}

}  // namespace
}  // namespace salvora
