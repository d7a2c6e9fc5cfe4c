// A scan killed in the middle: everything flushed before the kill is still there.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "scan/FoundFileStore.h"
#include "scan/RelationText.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

// The child: appends records under 50 folders, flushes every 97 records and reports each flushed
// total on the pipe, until it is killed (or gives up after a bound).
[[noreturn]] void RunWriter(const std::string& folder, int reportFd) {
  FoundFileStore store;
  if (store.OpenLogIn(folder, "Fast_0_20261279 5") != 0) _exit(2);
  for (uint32_t i = 0; i < 2000000; ++i) {
    uint32_t n = 0;
    FoundFileRecord* slot = store.AppendRecord(n);
    if (!slot) _exit(3);
    slot->SetRecordNumber(n);
    slot->SetObjectId(1000 + n);
    slot->SetContentCheck(1);
    slot->SetName("f" + std::to_string(n) + ".dat");
    store.AddRelation(i % 50, 1, n, 1000 + n, nullptr);
    if (n % 97 == 0) {
      if (store.Flush() != 0) _exit(4);
      if (::write(reportFd, &n, sizeof n) != sizeof n) _exit(5);
    }
  }
  _exit(0);
}

TEST(FoundFileStoreCrashTest, ReopenAfterSigkillListsEveryFlushedRecord) {
  test::TempDir dir;
  const std::string folder = dir.path() + "/7/";
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::close(fds[0]);
    RunWriter(folder, fds[1]);
  }
  ::close(fds[1]);
  uint32_t flushed = 0, reported = 0;
  int reports = 0;
  // Let a good number of flushes happen (the relation file grows, so later ones take longer and
  // the kill is likely to land inside one), then kill without warning.
  while (reports < 150 && ::read(fds[0], &reported, sizeof reported) == sizeof reported) {
    flushed = reported;
    ++reports;
  }
  ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  // Reports already in the pipe were flushed too.
  while (::read(fds[0], &reported, sizeof reported) == sizeof reported) flushed = reported;
  ::close(fds[0]);
  ASSERT_TRUE(WIFSIGNALED(status)) << "writer ended by itself with " << WEXITSTATUS(status);
  ASSERT_GT(flushed, 0u);

  FoundFileStore store;
  ASSERT_EQ(store.OpenLogIn(folder, "Fast_0_20261279 5"), 0);
  // The relation file is whole: exactly what a rewrite of what it holds gives.
  auto bytes = test::ReadFileBytes(store.RelationPath());
  EXPECT_EQ(FormatRelations(store.Relations()), std::string(bytes.begin(), bytes.end()));

  std::vector<bool> seen(size_t(store.TotalRecords()) + 1, false);
  for (uint32_t parent = 0; parent < 50; ++parent) {
    std::vector<FoundFileRecord> children;
    ASSERT_EQ(store.ListChildren(MakeRelationKey(1, parent), children), 0);
    for (const auto& r : children) {
      ASSERT_LE(r.RecordNumber(), store.TotalRecords());
      EXPECT_EQ(r.Name(), "f" + std::to_string(r.RecordNumber()) + ".dat");
      EXPECT_EQ(r.RecordNumber() % 50, (parent + 1) % 50);
      seen[r.RecordNumber()] = true;
    }
  }
  for (uint32_t n = 1; n <= flushed; ++n) ASSERT_TRUE(seen[n]) << "flushed record " << n << " lost";
}

}  // namespace
}  // namespace salvora
