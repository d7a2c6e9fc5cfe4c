#include "scan/ScanCheckpoint.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "platform/ByteView.h"
#include "platform/ErrorCodes.h"
#include "scan/DeepSectorLog.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

// Every log of the session by its prefix, a new engine's as the built-in ones'.
TEST(ScanCheckpointTest, WrittenCheckpointReadsBackWithEveryField) {
  test::TempDir dir;
  ScanCheckpoint cp;
  cp.SetPosition({100, 2000, 37, 5000, 12});
  cp.SetLog("File_Type_", 345, 345);
  cp.SetLog("Pro_Fat_", 0, ScanCheckpoint::kNoLog);
  cp.SetLog("Pro_Ntfs_", ScanCheckpoint::kNoLog, 17);
  cp.SetLog("Pro_Test_", 40, 12);
  cp.SetLog("File_Type_", 346, 346);
  cp.SetLog(std::string(ScanCheckpoint::kPrefixBytes, 'x'), 1, 1);  // too long for the file: not kept
  cp.SetDeepSectors(4242);
  ASSERT_EQ(cp.Write(dir.path()), 0);
  EXPECT_EQ(test::ReadFileBytes(dir.File("checkpoint")).size(), 72u + 4 * 40);
  // Nothing but the checkpoint itself is left in the folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

  ScanCheckpoint back;
  ASSERT_EQ(back.Read(dir.path() + "/"), 0);
  ResumePosition p = back.Position();
  EXPECT_EQ(p.rangeStart, 100u);
  EXPECT_EQ(p.rangeLength, 2000u);
  EXPECT_EQ(p.rangeSwept, 37u);
  EXPECT_EQ(p.totalSwept, 5000u);
  EXPECT_EQ(p.foundBefore, 12u);
  EXPECT_EQ(back.Records("Fast_"), ScanCheckpoint::kNoLog);
  EXPECT_EQ(back.Records("File_Type_"), 346u);
  EXPECT_EQ(back.Records("Pro_Fat_"), 0u);
  EXPECT_EQ(back.Records("Pro_Ntfs_"), ScanCheckpoint::kNoLog);
  EXPECT_EQ(back.ResumeRecords("Pro_Ntfs_"), 17u);
  EXPECT_EQ(back.Records("Pro_Test_"), 40u);
  EXPECT_EQ(back.ResumeRecords("Pro_Test_"), 12u);
  EXPECT_EQ(back.Logs().size(), 4u);
  EXPECT_EQ(back.DeepSectors(), 4242u);
}

TEST(ScanCheckpointTest, MissingShortOrDamagedFilesAreRefusedAndLeaveTheObject) {
  test::TempDir dir;
  ScanCheckpoint cp;
  cp.SetLog("Fast_", 9, 9);
  EXPECT_EQ(cp.Read(dir.path()), kInvalidParameter);
  EXPECT_EQ(cp.Records("Fast_"), 9u);

  ScanCheckpoint written;
  written.SetPosition({1, 2, 3, 4, 5});
  written.SetLog("Pro_Fat_", 7, 3);
  ASSERT_EQ(written.Write(dir.path()), 0);
  const auto good = test::ReadFileBytes(dir.File("checkpoint"));
  auto refused = [&](std::vector<uint8_t> bytes) {
    test::WriteFileBytes(dir.File("checkpoint"), bytes);
    ScanCheckpoint read;
    read.SetLog("Fast_", 9, 9);
    return read.Read(dir.path()) == kInvalidParameter && read.Records("Fast_") == 9u && read.Logs().size() == 1;
  };
  EXPECT_TRUE(refused({}));
  EXPECT_TRUE(refused({good.begin(), good.end() - 1}));
  auto longer = good;
  longer.push_back(0);
  EXPECT_TRUE(refused(longer));
  for (size_t at : {size_t(0), size_t(8), size_t(12), size_t(20), size_t(60), size_t(70), size_t(90), size_t(110)}) {
    auto flipped = good;
    flipped[at] ^= 0x10;
    EXPECT_TRUE(refused(flipped)) << "byte " << at;
  }
  // A prefix without its terminating zero, with a sound checksum, is refused too.
  auto unterminated = good;
  std::fill(unterminated.begin() + 64, unterminated.begin() + 88, uint8_t('P'));
  uint64_t hash = 14695981039346656037ull;
  for (size_t i = 0; i + 8 < unterminated.size(); ++i) hash = (hash ^ unterminated[i]) * 1099511628211ull;
  StoreLe64(&unterminated[unterminated.size() - 8], hash);
  EXPECT_TRUE(refused(unterminated));
  test::WriteFileBytes(dir.File("checkpoint"), good);
  ScanCheckpoint read;
  ASSERT_EQ(read.Read(dir.path()), 0);
  EXPECT_EQ(read.Position().foundBefore, 5u);
  EXPECT_EQ(read.ResumeRecords("Pro_Fat_"), 3u);
}

// Checkpoints of versions 2 (four fixed slots) and 3 (five) still resume: the first two slots are
// the fast pass's and carving's logs, the caller names the sweep engines' slots.
TEST(ScanCheckpointTest, OldFixedSlotFilesReadWithTheSlotsTheCallerNames) {
  const ScanCheckpoint::OldSlots slots{"Pro_Fat_", "Pro_Ntfs_", "Pro_Exfat_"};
  for (uint32_t version : {2u, 3u}) {
    const size_t logs = version == 2 ? 4 : 5, checksumAt = 64 + 16 * logs;
    test::TempDir dir;
    std::vector<uint8_t> old(checksumAt + 8, 0);
    std::memcpy(old.data(), "SALVCKPT", 8);
    StoreLe32(&old[8], version);
    for (size_t i = 0; i < 5; ++i) StoreLe64(&old[16 + 8 * i], 100 + i);
    for (size_t i = 0; i < logs; ++i) StoreLe64(&old[56 + 8 * i], 10 + i), StoreLe64(&old[56 + 8 * logs + 8 * i], 20 + i);
    StoreLe64(&old[56 + 16 * logs], 77);
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i < checksumAt; ++i) hash = (hash ^ old[i]) * 1099511628211ull;
    StoreLe64(&old[checksumAt], hash);
    test::WriteFileBytes(dir.File("checkpoint"), old);
    ScanCheckpoint read;
    ASSERT_EQ(read.Read(dir.path(), slots), 0) << version;
    EXPECT_EQ(read.Position().rangeStart, 100u);
    EXPECT_EQ(read.Position().foundBefore, 104u);
    EXPECT_EQ(read.ResumeRecords("Fast_"), 20u);
    EXPECT_EQ(read.Records("File_Type_"), 11u);
    EXPECT_EQ(read.Records("Pro_Ntfs_"), 13u);
    EXPECT_EQ(read.ResumeRecords("Pro_Exfat_"), version == 2 ? ScanCheckpoint::kNoLog : 24u);
    EXPECT_EQ(read.DeepSectors(), 77u);
    // Written again, it is a file of the current version that reads back the same.
    ASSERT_EQ(read.Write(dir.path()), 0);
    ScanCheckpoint again;
    ASSERT_EQ(again.Read(dir.path()), 0);
    EXPECT_EQ(again.Records("Pro_Ntfs_"), 13u);
    EXPECT_EQ(again.Logs().size(), logs);
    old[checksumAt + 2] ^= 1;
    test::WriteFileBytes(dir.File("checkpoint"), old);
    EXPECT_NE(read.Read(dir.path(), slots), 0);
  }
}

TEST(DeepSectorLogTest, EntriesAreReadBackUpToTheCountAndCleared) {
  test::TempDir dir;
  std::vector<DeepSectorEntry> first{{100, 1u}, {7, 3u}};
  std::vector<DeepSectorEntry> second{{1ull << 40, 2u}};
  ASSERT_EQ(DeepSectorLog::Write(dir.path(), 0, first), 0);
  ASSERT_EQ(DeepSectorLog::Write(dir.path(), 2, second), 0);
  EXPECT_EQ(test::ReadFileBytes(dir.File("deep_sectors")).size(), 3 * DeepSectorEntry::kSize);

  std::vector<DeepSectorEntry> read;
  ASSERT_EQ(DeepSectorLog::Read(dir.path(), 3, read), 0);
  ASSERT_EQ(read.size(), 3u);
  EXPECT_EQ(read[0].Sector(), 100u);
  EXPECT_EQ(read[0].Kind(), 1u);
  EXPECT_EQ(read[1].Kind(), 3u);
  EXPECT_EQ(read[2].Sector(), 1ull << 40);
  // Entries written after the checkpoint are not read; a log shorter than its count gives back
  // what it holds.
  ASSERT_EQ(DeepSectorLog::Read(dir.path(), 2, read), 0);
  EXPECT_EQ(read.size(), 2u);
  EXPECT_EQ(DeepSectorLog::Read(dir.path(), 9, read), kReadFault);
  EXPECT_EQ(read.size(), 3u);

  ASSERT_EQ(DeepSectorLog::Clear(dir.path()), 0);
  EXPECT_EQ(DeepSectorLog::Read(dir.path(), 1, read), kReadFault);
  EXPECT_TRUE(read.empty());
  test::TempDir empty;
  EXPECT_EQ(DeepSectorLog::Clear(empty.path()), 0);
  EXPECT_NE(DeepSectorLog::Read(empty.path(), 1, read), 0);
}

TEST(ScanCheckpointTest, IntervalComesFromTheEnvironmentWithinBounds) {
  const char* old = std::getenv("SALVORA_CHECKPOINT_SECONDS");
  std::string saved = old ? old : "";
  auto with = [](const char* value) {
    if (value)
      ::setenv("SALVORA_CHECKPOINT_SECONDS", value, 1);
    else
      ::unsetenv("SALVORA_CHECKPOINT_SECONDS");
    return CheckpointIntervalMs();
  };
  EXPECT_EQ(with(nullptr), 30000u);
  EXPECT_EQ(with("2"), 2000u);
  EXPECT_EQ(with("0.25"), 250u);
  EXPECT_EQ(with("0"), 30000u);
  EXPECT_EQ(with("0.01"), 30000u);
  EXPECT_EQ(with("nan"), 30000u);
  EXPECT_EQ(with("-5"), 30000u);
  EXPECT_EQ(with("3s"), 30000u);
  EXPECT_EQ(with("99999999999999999999"), 30000u);
  if (old)
    ::setenv("SALVORA_CHECKPOINT_SECONDS", saved.c_str(), 1);
  else
    ::unsetenv("SALVORA_CHECKPOINT_SECONDS");
}

}  // namespace
}  // namespace salvora
