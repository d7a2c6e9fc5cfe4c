#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/Clock.h"
#include "platform/ErrorCodes.h"
#include "storage/ImageWriter.h"
#include "storage/ScopedDiskMap.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

// sha256 by the system tool: these images are large and the tests run under sanitizers too.
inline std::string ToolSha256(const std::string& path) {
  std::string out;
  salvora::test::RunCommand("sha256sum '" + path + "'", &out);
  return out.substr(0, 64);
}

using test::ScopedDiskMap;
using test::TempDir;

// A clock that moves on by a fixed step every time it is read.
class SteppingClock : public platform::Clock {
 public:
  explicit SteppingClock(uint64_t stepMs) : step_(stepMs) {}
  uint64_t TickMs() override { return now_ += step_; }
  platform::LocalTime Now() override { return {}; }

 private:
  uint64_t step_;
  uint64_t now_ = 0;
};

struct ScopedClock {
  explicit ScopedClock(platform::Clock* clock) { platform::SetClock(clock); }
  ~ScopedClock() { platform::SetClock(nullptr); }
};

struct Calls {
  std::vector<int> secondsLeft;
  std::vector<int> percents;
  std::vector<uint64_t> done;
  uint64_t total = 0;
  size_t stopAt = SIZE_MAX;
  int stopValue = 0;
};

int Record(void* context, const ImageProgress& p) {
  auto& c = *static_cast<Calls*>(context);
  c.percents.push_back(p.percent);
  c.done.push_back(p.sectorsDone);
  c.secondsLeft.push_back(p.secondsLeft);
  c.total = p.totalSectors;
  return c.percents.size() == c.stopAt ? c.stopValue : 0;
}

// A file of sectors whose every byte tells where it is.
std::string PatternImage(const TempDir& dir, size_t sectors) {
  std::vector<uint8_t> bytes(sectors * 512);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t((i / 512) * 7 + i);
  std::string path = dir.File("source.img");
  test::WriteFileBytes(path, bytes);
  return path;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, size_t from, size_t length) {
  return std::vector<uint8_t>(bytes.begin() + long(from), bytes.begin() + long(from + length));
}

std::vector<uint8_t> ReadRange(const std::string& path, uint64_t offset, size_t length) {
  std::vector<uint8_t> bytes(length);
  std::ifstream in(path, std::ios::binary);
  in.seekg(std::streamoff(offset));
  in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(length));
  bytes.resize(size_t(in.gcount()));
  return bytes;
}

TEST(ImageWriter, WholeDiskAndRangeAreByteIdenticalCopies) {
  TempDir dir;
  std::string disk = test::FixturePath("mbr-disk.img");
  std::string before = ToolSha256(disk);
  ScopedDiskMap map("0=" + disk);
  ImageWriter writer;
  Calls calls;
  ASSERT_EQ(writer.CreateImage(0, 0, 0, dir.File("whole.img"), Record, &calls), 0);
  EXPECT_EQ(ToolSha256(dir.File("whole.img")), before);
  EXPECT_EQ(calls.total, 229376u);
  EXPECT_EQ(calls.done.back(), 229376u);
  EXPECT_EQ(calls.percents.back(), 100);
  EXPECT_EQ(calls.done.size(), 229376u * 512 / ImageWriter::kChunkBytes);

  ASSERT_EQ(writer.CreateImage(0, 2048, 131072, dir.File("fat.img"), nullptr, nullptr), 0);
  EXPECT_TRUE(ReadRange(dir.File("fat.img"), 0, 131072 * 512) == ReadRange(disk, 2048 * 512, 131072 * 512));
  EXPECT_EQ(std::filesystem::file_size(dir.File("fat.img")), 131072u * 512);
  EXPECT_EQ(ToolSha256(disk), before) << "the source was changed";
}

TEST(ImageWriter, OddLengthRangeEndsWithAShortChunk) {
  TempDir dir;
  std::string source = PatternImage(dir, 300);
  ScopedDiskMap map("0=" + source);
  ImageWriter writer;
  Calls calls;
  ASSERT_EQ(writer.CreateImage(0, 5, 250, dir.File("out.img"), Record, &calls), 0);
  EXPECT_TRUE(test::ReadFileBytes(dir.File("out.img")) == Slice(test::ReadFileBytes(source), 5 * 512, 250 * 512));
  EXPECT_EQ(calls.done, (std::vector<uint64_t>{128, 250}));
}

TEST(ImageWriter, EstimateAppearsOnlyAfterFiveSeconds) {
  TempDir dir;
  std::string source = PatternImage(dir, 20 * 128);  // 20 chunks
  ScopedDiskMap map("0=" + source);
  SteppingClock clock(1000);
  ScopedClock installed(&clock);
  ImageWriter writer;
  Calls calls;
  ASSERT_EQ(writer.CreateImage(0, 0, 0, dir.File("out.img"), Record, &calls), 0);
  ASSERT_EQ(calls.secondsLeft.size(), 20u);
  // Chunk k is reported k seconds after the start: 1 to 4 s give no estimate yet.
  for (int i = 0; i < 4; ++i) EXPECT_EQ(calls.secondsLeft[i], -1) << "chunk " << i + 1;
  // After 5 s, 5 chunks are done at one chunk a second: 15 chunks, 15 seconds, are left.
  EXPECT_EQ(calls.secondsLeft[4], 15);
  // The estimate holds until the next five seconds have passed.
  EXPECT_EQ(calls.secondsLeft[8], 15);
  EXPECT_EQ(calls.secondsLeft[9], 10);
}

TEST(ImageWriter, CallbackStopValueEndsTheCopy) {
  TempDir dir;
  std::string source = PatternImage(dir, 10 * 128);
  ScopedDiskMap map("0=" + source);
  ImageWriter writer;
  Calls calls;
  calls.stopAt = 3;
  calls.stopValue = kScanCancelled;
  EXPECT_EQ(writer.CreateImage(0, 0, 0, dir.File("out.img"), Record, &calls), kScanCancelled);
  EXPECT_EQ(calls.percents.size(), 3u);
  // What was copied stays: three whole chunks.
  EXPECT_EQ(std::filesystem::file_size(dir.File("out.img")), 3u * ImageWriter::kChunkBytes);
}

TEST(ImageWriter, SourceEndingEarlyIsAReadFault) {
  TempDir dir;
  std::string source = PatternImage(dir, 200);
  ScopedDiskMap map("0=" + source);
  ImageWriter writer;
  Calls calls;
  EXPECT_EQ(writer.CreateImage(0, 0, 400, dir.File("out.img"), Record, &calls), kReadFault);
  // The sectors that could be read are in the image, unchanged, and nothing was made up.
  EXPECT_TRUE(test::ReadFileBytes(dir.File("out.img")) == test::ReadFileBytes(source));
  EXPECT_EQ(calls.done, (std::vector<uint64_t>{128}));
}

TEST(ImageWriter, RefusesToReplaceItsOwnSourceAndMissingDisks) {
  TempDir dir;
  std::string source = PatternImage(dir, 100);
  std::string before = ToolSha256(source);
  ScopedDiskMap map("0=" + source);
  ImageWriter writer;
  EXPECT_EQ(writer.CreateImage(0, 0, 0, source, nullptr, nullptr), kInvalidParameter);
  EXPECT_EQ(ToolSha256(source), before);
  EXPECT_NE(writer.CreateImage(5, 0, 0, dir.File("out.img"), nullptr, nullptr), 0);
  EXPECT_NE(writer.CreateImage(0, 0, 0, dir.File("no/such/folder/out.img"), nullptr, nullptr), 0);
}

}  // namespace
}  // namespace salvora
