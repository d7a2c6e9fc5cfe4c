// An advanced scan killed in the middle of its sweep goes on from its last checkpoint.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "carving/PlantedImage.h"
#include "platform/Clock.h"
#include "recovery/CProfessionalRecovery.h"
#include "recovery/EngineFactory.h"
#include "scan/ExtensionLists.h"
#include "fat/CProfessionalFatRecovery.h"
#include "ntfs/CProfessionalNtfsRecovery.h"
#include "scan/ScanCheckpoint.h"
#include "scan/ScanLogCatalogue.h"
#include "scan/ScanLogName.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

// Time stands still unless the test moves it.
struct StillClock : platform::Clock {
  uint64_t ms = 1000000;
  uint64_t TickMs() override { return ms; }
  platform::LocalTime Now() override { return {2026, 12, 7, 9, 5, 0, 0}; }
};

// The child's plan: move the clock past the checkpoint interval at one report of the sweep, and
// at a later one flush every log (the records after the checkpoint are then on disk, relations
// and all) and end the process without running a single destructor, as SIGKILL would.
struct KillPlan {
  StillClock* clock = nullptr;
  IFileRecoveryParse* engine = nullptr;
  CProfessionalRecovery* pro = nullptr;
  uint64_t jumpAt = UINT64_MAX;  // sectors swept
  uint64_t killAt = 0;
  bool jumped = false;
  uint64_t checkpointsBeforeKill = 0;  // at least
};

int KillingProgress(void* user, int percent, int weight, int, uint64_t swept, uint64_t, uint64_t, int) {
  auto* plan = static_cast<KillPlan*>(user);
  if (weight != CProfessionalRecovery::kDeepWeight || percent == 100) return 0;
  if (!plan->jumped && swept >= plan->jumpAt) {
    plan->jumped = true;
    plan->clock->ms += 31000;
  }
  if (swept >= plan->killAt) {
    std::vector<FoundFileRecord> flushed;
    plan->engine->ListChildren(nullptr, 0, flushed);
    ::_exit(plan->pro->CheckpointsMade() >= plan->checkpointsBeforeKill ? 0 : 4);
  }
  return 0;
}

struct LastFound {
  uint64_t found = 0;
};

int RememberFound(void* user, int percent, int weight, int, uint64_t, uint64_t, uint64_t found, int) {
  if (weight == CProfessionalRecovery::kDeepWeight && percent != 100)
    static_cast<LastFound*>(user)->found = found;
  return 0;
}

// What a user sees of a finished scan: every record of the tree with its path and size, and the
// files a search for every picture, audio and video type lists (duplicates kept).
struct Results {
  std::multiset<std::string> tree;
  std::multiset<std::string> search;
  uint64_t lastFound = 0;
};

void Walk(IFileRecoveryParse& engine, const FoundFileRecord* folder, int depth, const std::string& prefix,
          std::multiset<std::string>& out) {
  std::vector<FoundFileRecord> children;
  engine.ListChildren(folder, depth, children);
  for (const auto& child : children) {
    std::string path = prefix + std::string(child.Name()) + (child.IsFolder() ? "/" : "");
    out.insert(path + " " + std::to_string(child.FileSize()) + " kind " + std::to_string(child.EngineKind()));
    if (child.IsFolder() && depth < 64) Walk(engine, &child, depth + 1, path, out);
  }
}

Results Collect(IFileRecoveryParse& engine, uint64_t lastFound) {
  Results r;
  r.lastFound = lastFound;
  Walk(engine, nullptr, 0, "/", r.tree);
  std::vector<FoundFileRecord> found;
  engine.SearchByExtension(std::string(PictureExtensions) + AudioExtensions + VideoExtensions, found);
  for (const auto& f : found)
    r.search.insert(std::string(f.Name()) + " " + std::to_string(f.FileSize()) + " at " +
                    std::to_string(f.EntrySector()));
  return r;
}

uint64_t FileSize(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? uint64_t(st.st_size) : 0;
}

class CheckpointTest : public ::testing::Test {
 protected:
  void SetUp() override { ScanLogCatalogue::Instance().Reload(); }
  void TearDown() override { platform::SetClock(nullptr); }

  void ForgetAllScans() {
    auto& catalogue = ScanLogCatalogue::Instance();
    catalogue.Reload();
    while (!catalogue.Entries().empty()) catalogue.RemoveSession(catalogue.Entries()[0].SessionFolder());
  }

  Results Uninterrupted(const std::string& image) {
    auto engine = EngineFactory::Instance().CreateForImage(image, 0, true);
    EXPECT_NE(engine, nullptr);
    LastFound last;
    engine->SetScanCallbacks(RememberFound, nullptr, &last, 100);
    EXPECT_EQ(engine->Scan(nullptr), 0);
    Results r = Collect(*engine, last.found);
    engine.reset();
    ForgetAllScans();
    return r;
  }

  // Runs the scan in a child process that dies as the plan says; false when it did not.
  bool ScanAndKill(const std::string& image, KillPlan plan) {
    pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) {
      StillClock clock;
      platform::SetClock(&clock);
      auto engine = EngineFactory::Instance().CreateForImage(image, 0, true);
      if (!engine) ::_exit(2);
      plan.clock = &clock;
      plan.engine = engine.get();
      plan.pro = static_cast<CProfessionalRecovery*>(engine.get());
      engine->SetScanCallbacks(KillingProgress, nullptr, &plan, 100);
      engine->Scan(nullptr);
      ::_exit(3);  // the sweep ended before the planned kill
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "child ended with " << (WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status));
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

  Results Resume(const std::string& image, const ResumePosition& expected) {
    ScanLogCatalogue::Instance().Reload();
    auto engine = EngineFactory::Instance().CreateForImage(image, 0, true);
    auto* pro = static_cast<CProfessionalRecovery*>(engine.get());
    EXPECT_TRUE(pro->HasResumeState());
    ResumePosition at = pro->ResumePoint();
    EXPECT_EQ(at.rangeStart, expected.rangeStart);
    EXPECT_EQ(at.rangeSwept, expected.rangeSwept);
    EXPECT_EQ(at.totalSwept, expected.totalSwept);
    EXPECT_EQ(at.foundBefore, expected.foundBefore);
    LastFound last;
    engine->SetScanCallbacks(RememberFound, nullptr, &last, 100);
    EXPECT_EQ(engine->Scan(nullptr), 0);
    return Collect(*engine, last.found);
  }

  test::ScopedDataDir data_;
  test::TempDir dir_;
};

// Random bytes with real files planted all along, so that files are found before the checkpoint,
// between it and the kill, and after the kill.
std::string MakeImage(const test::TempDir& dir, test::PlantedImage& image) {
  image.Random(100);
  for (int round = 0; round < 8; ++round) {
    for (const char* ext : {"jpg", "png", "gif", "bmp", "wav"}) {
      auto bytes = test::MediaSample(ext);
      if (bytes.empty()) continue;
      image.Plant(ext, bytes);
      image.Random(40);
      image.Zeros(150);
    }
  }
  image.Random(50);
  std::string path = dir.File("nofs.img");
  image.Write(path);
  return path;
}

TEST_F(CheckpointTest, KilledSweepResumesFromItsCheckpointWithTheUninterruptedResult) {
  test::PlantedImage image;
  const std::string path = MakeImage(dir_, image);
  const std::string hash = test::Sha256File(path);
  const Results whole = Uninterrupted(path);
  ASSERT_GT(whole.search.size(), 20u);

  // Checkpoints: one as the sweep begins, one in the chunk after the clock jumps.
  KillPlan plan;
  plan.jumpAt = image.Sectors() / 5;
  plan.killAt = image.Sectors() * 3 / 5;
  plan.checkpointsBeforeKill = 2;
  ASSERT_TRUE(ScanAndKill(path, plan));

  // The catalogue is whole and points at the checkpoint.
  ScanLogCatalogue::Instance().Reload();
  const auto& entries = ScanLogCatalogue::Instance().Entries();
  ASSERT_EQ(entries.size(), 1u);
  const std::string session = entries[0].SessionFolder();
  ScanCheckpoint checkpoint;
  ASSERT_EQ(checkpoint.Read(session), 0);
  const ResumePosition at = checkpoint.Position();
  EXPECT_EQ(entries[0].Resume().rangeSwept, at.rangeSwept);
  EXPECT_GT(at.rangeSwept, plan.jumpAt);
  EXPECT_LT(at.rangeSwept, plan.killAt);
  EXPECT_EQ(at.totalSwept, at.rangeSwept);
  ASSERT_TRUE(std::any_of(image.Files().begin(), image.Files().end(), [&](const test::PlantedFile& f) {
    return f.sector > at.rangeSwept && f.sector < plan.killAt;
  })) << "files found between the checkpoint and the kill";
  EXPECT_GT(at.foundBefore, 0u);
  EXPECT_EQ(at.foundBefore, checkpoint.Records(kFileTypeLogPrefix) +
                                checkpoint.Records(CProfessionalFatRecovery::kLogPrefix) +
                                checkpoint.Records(CProfessionalNtfsRecovery::kLogPrefix));
  EXPECT_EQ(checkpoint.Records(kFastLogPrefix), ScanCheckpoint::kNoLog);
  // What the engines wrote after the checkpoint is on disk too: the precondition of a double.
  std::string carved;
  ScanLogCatalogue::Instance().FindLog(session, kFileTypeLogPrefix, carved);
  ASSERT_FALSE(carved.empty());
  ASSERT_GT(FileSize(session + carved),
            checkpoint.Records(kFileTypeLogPrefix) * FoundFileRecord::kSize);

  const Results resumed = Resume(path, at);
  EXPECT_EQ(resumed.tree, whole.tree);
  EXPECT_EQ(resumed.search, whole.search) << "nothing listed twice, nothing lost";
  EXPECT_EQ(resumed.lastFound, whole.lastFound);
  EXPECT_EQ(test::Sha256File(path), hash);
}

TEST_F(CheckpointTest, KilledRightAfterTheFileSystemPassKeepsItsResults) {
  // A FAT card: its directory-based results are safe once the sweep has begun, and the chunk
  // swept before the kill is swept again without doubles.
  const std::string path = test::FixturePath("fat16-del.img");
  const Results whole = Uninterrupted(path);
  ASSERT_FALSE(whole.tree.empty());

  KillPlan plan;
  plan.killAt = 1;  // in the first chunk
  plan.checkpointsBeforeKill = 1;
  ASSERT_TRUE(ScanAndKill(path, plan));
  ScanLogCatalogue::Instance().Reload();
  ASSERT_EQ(ScanLogCatalogue::Instance().Entries().size(), 1u);
  ScanCheckpoint checkpoint;
  ASSERT_EQ(checkpoint.Read(ScanLogCatalogue::Instance().Entries()[0].SessionFolder()), 0);
  EXPECT_NE(checkpoint.Records(kFastLogPrefix), ScanCheckpoint::kNoLog);
  EXPECT_GT(checkpoint.Records(kFastLogPrefix), 0u);
  EXPECT_EQ(checkpoint.Position().totalSwept, 0u);

  const Results resumed = Resume(path, checkpoint.Position());
  EXPECT_EQ(resumed.tree, whole.tree);
  EXPECT_EQ(resumed.search, whole.search);
}

TEST_F(CheckpointTest, KilledSweepOverLostFoldersResumesWithTheUninterruptedTree) {
  // The deep engines hold their folders in memory until the sweep ends: a resumed scan offers them
  // the sectors they had taken again, so nothing found before the checkpoint is lost and nothing
  // is listed twice. Reformatted FAT, NTFS and exFAT volumes, killed half way through their free
  // space; on the exFAT card both the clock's jump and the kill fall while carving measures a long
  // clip, so the second checkpoint is one made at the clip's first sector.
  for (const char* name : {"deepfat-reformatted.img", "deepntfs-formatted.img", "exfat-formatted.img"}) {
    SCOPED_TRACE(name);
    const std::string path = test::FixturePath(name);
    const Results whole = Uninterrupted(path);
    ASSERT_GT(whole.tree.size(), 10u);
    const uint64_t sectors = test::ReadFileBytes(path).size() / 512;
    KillPlan plan;
    plan.jumpAt = sectors / 4;
    plan.killAt = sectors / 2;
    plan.checkpointsBeforeKill = 2;
    ASSERT_TRUE(ScanAndKill(path, plan));
    ScanLogCatalogue::Instance().Reload();
    ASSERT_EQ(ScanLogCatalogue::Instance().Entries().size(), 1u);
    const std::string session = ScanLogCatalogue::Instance().Entries()[0].SessionFolder();
    ScanCheckpoint checkpoint;
    ASSERT_EQ(checkpoint.Read(session), 0);
    EXPECT_GT(checkpoint.DeepSectors(), 0u);
    EXPECT_GT(checkpoint.Position().totalSwept, 0u);

    const Results resumed = Resume(path, checkpoint.Position());
    EXPECT_EQ(resumed.tree, whole.tree);
    EXPECT_EQ(resumed.search, whole.search);
    EXPECT_EQ(resumed.lastFound, whole.lastFound);
    // The resumed scan ran to its end: no checkpoint (and no deep sectors) is left to replay.
    EXPECT_NE(checkpoint.Read(session), 0);
    EXPECT_TRUE(ScanCheckpoint::IsFinished(session));
    ForgetAllScans();
  }
}

// Time runs at 10 ms a swept sector, and the test notes every checkpoint the sweep leaves.
struct Watch {
  StillClock* clock = nullptr;
  std::string folder;
  std::vector<ResumePosition> seen;
  static int Report(void* user, int percent, int weight, int, uint64_t swept, uint64_t, uint64_t, int) {
    auto* w = static_cast<Watch*>(user);
    if (weight != CProfessionalRecovery::kDeepWeight || percent == 100) return 0;
    w->clock->ms = 1000000 + swept * 10;
    ScanCheckpoint cp;
    if (cp.Read(w->folder) == 0 &&
        (w->seen.empty() || cp.Position().totalSwept != w->seen.back().totalSwept))
      w->seen.push_back(cp.Position());
    return 0;
  }
};

TEST_F(CheckpointTest, CheckpointsFollowTheClockAndTheEndsOfFreeRanges) {
  StillClock clock;
  platform::SetClock(&clock);
  auto engine = EngineFactory::Instance().CreateForImage(test::FixturePath("ntfs.img"), 0, true);
  auto* pro = static_cast<CProfessionalRecovery*>(engine.get());
  ASSERT_NE(pro->FastEngine(), nullptr);
  Watch watch;
  watch.clock = &clock;
  watch.folder = ScanLogCatalogue::Instance().Folder() + "/1/";
  engine->SetScanCallbacks(&Watch::Report, nullptr, &watch, 100);
  ASSERT_EQ(engine->Scan(nullptr), 0);
  ASSERT_EQ(pro->SessionFolderUsed(), watch.folder);

  std::vector<std::pair<uint64_t, uint64_t>> ranges;
  for (uint64_t start = 0, length = 1;; start += length) {
    length = 1;
    pro->FastEngine()->NextUnusedRange(start, length);
    if (length == 0) break;
    ranges.emplace_back(start, length);
  }
  ASSERT_GE(ranges.size(), 3u) << "a volume whose free space is in pieces";

  ASSERT_GE(watch.seen.size(), 3u);
  EXPECT_EQ(watch.seen.front().totalSwept, 0u) << "one as the sweep begins";
  size_t inRange = 0, atRangeEnd = 0;
  for (size_t i = 1; i < watch.seen.size(); ++i) {
    const ResumePosition& p = watch.seen[i];
    const uint64_t gap = p.totalSwept - watch.seen[i - 1].totalSwept;
    EXPECT_GT(p.totalSwept, watch.seen[i - 1].totalSwept);
    if (p.rangeSwept < p.rangeLength) {
      ++inRange;
      EXPECT_GE(gap, 3000u) << "30 seconds at 10 ms a sector";
    } else {
      ++atRangeEnd;
      EXPECT_GE(gap, 100u) << "at least a second since the one before";
    }
  }
  EXPECT_GT(inRange, 0u);
  EXPECT_GT(atRangeEnd, 0u);
  // The final save is one more, behind the last range; the scan then ran to its end, so the
  // catalogue keeps it as results and no checkpoint is left to continue from.
  uint64_t free = 0;
  for (const auto& r : ranges) free += r.second;
  ScanCheckpoint left;
  EXPECT_NE(left.Read(watch.folder), 0);
  EXPECT_TRUE(ScanCheckpoint::IsFinished(watch.folder));
  ScanLogCatalogue::Instance().Reload();
  ASSERT_EQ(ScanLogCatalogue::Instance().Entries().size(), 1u);
  const ResumePosition last = ScanLogCatalogue::Instance().Entries()[0].Resume();
  EXPECT_EQ(last.rangeStart, ranges.back().first + ranges.back().second);
  EXPECT_EQ(last.rangeLength, 0u);
  EXPECT_EQ(last.totalSwept, free);
  EXPECT_EQ(last.foundBefore, engine->GetFoundCount());
  EXPECT_EQ(pro->CheckpointsMade(), watch.seen.size() + 1);
}

}  // namespace
}  // namespace salvora
