#include "storage/SectorReader.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>

#include "platform/ErrorCodes.h"
#include "platform/FaultInjection.h"
#include "platform/PlatformError.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using test::TempDir;

// A platform read that records the size of every piece it is asked for and can end early.
class RecordingSource : public platform::RawSource {
 public:
  RecordingSource(size_t bytes, size_t endsAfter) : bytes_(bytes), endsAfter_(endsAfter) {}
  long long ReadAt(void* buffer, size_t length, uint64_t offset, int*) override {
    pieces.push_back(length);
    if (offset >= endsAfter_) return 0;
    size_t n = std::min<uint64_t>(length, endsAfter_ - offset);
    auto* out = static_cast<uint8_t*>(buffer);
    for (size_t i = 0; i < n; ++i) out[i] = uint8_t((offset + i) * 7);
    return static_cast<long long>(n);
  }
  long long ByteLength(int*) override { return static_cast<long long>(bytes_); }
  std::vector<size_t> pieces;

 private:
  size_t bytes_, endsAfter_;
};

std::string MakeImage(const TempDir& dir, size_t bytes) {
  std::vector<uint8_t> data(bytes);
  for (size_t i = 0; i < bytes; ++i) data[i] = uint8_t(i / 512);
  std::string path = dir.File("image.img");
  test::WriteFileBytes(path, data);
  return path;
}

TEST(SectorReader, RunsEndingAtOrPastTheLastSector) {
  TempDir dir;
  SectorReader reader;
  ASSERT_EQ(reader.OpenFile(MakeImage(dir, 1000 * 512)), 0);
  EXPECT_EQ(reader.TotalSectors(), 1000u);

  std::vector<uint8_t> buf(11 * 512, 0xEE);
  uint32_t got = 12345;
  EXPECT_EQ(reader.ReadSectors(buf.data(), 10, 990, 512, got), 0);
  EXPECT_EQ(got, 10u);
  EXPECT_EQ(buf[0], uint8_t(990));
  EXPECT_EQ(buf[9 * 512], uint8_t(999));

  got = 12345;
  std::fill(buf.begin(), buf.end(), 0xEE);
  EXPECT_EQ(reader.ReadSectors(buf.data(), 11, 990, 512, got), kInvalidParameter);
  EXPECT_EQ(got, 12345u) << "a refused run leaves the output untouched";
  EXPECT_EQ(buf[0], 0xEE) << "a refused run reads nothing";
  EXPECT_EQ(reader.ReadSectors(buf.data(), 1, UINT64_MAX, 512, got), kInvalidParameter);
}

TEST(SectorReader, ImageTailThatIsNotAWholeSectorIsNeverRead) {
  TempDir dir;
  SectorReader reader;
  ASSERT_EQ(reader.OpenFile(MakeImage(dir, 10 * 512 + 100)), 0);
  EXPECT_EQ(reader.TotalSectors(), 10u);
  std::vector<uint8_t> buf(1024);
  uint32_t got = 0;
  EXPECT_EQ(reader.ReadSectors(buf.data(), 2, 9, 512, got), kInvalidParameter);

  // An attached source is counted the same way; no source at all is refused, not a closed reader
  // that reads nothing.
  SectorReader attached;
  ASSERT_EQ(attached.AttachWhole(std::make_unique<platform::MemorySource>(std::vector<uint8_t>(10 * 512 + 100))), 0);
  EXPECT_EQ(attached.TotalSectors(), 10u);
  EXPECT_EQ(attached.ReadSectors(buf.data(), 2, 9, 512, got), kInvalidParameter);
  EXPECT_EQ(SectorReader().AttachWhole(nullptr), kInvalidParameter);
}

TEST(SectorReader, LargeReadsAreIssuedInPiecesOf64KiB) {
  auto source = std::make_unique<RecordingSource>(400 * 512, 400 * 512);
  auto* raw = source.get();
  SectorReader reader;
  reader.Attach(std::move(source), 400);
  std::vector<uint8_t> buf(200 * 512);
  uint32_t got = 0;
  ASSERT_EQ(reader.ReadSectors(buf.data(), 200, 3, 512, got), 0);
  EXPECT_EQ(got, 200u);
  EXPECT_EQ(raw->pieces, (std::vector<size_t>{65536, 36864}));
  for (size_t i = 0; i < buf.size(); i += 4099) EXPECT_EQ(buf[i], uint8_t((3 * 512 + i) * 7)) << i;
}

TEST(SectorReader, EndOfFileInTheMiddleGivesReadFaultAndWholeSectorsRead) {
  // The device claims 400 sectors but delivers only 70,000 bytes.
  auto source = std::make_unique<RecordingSource>(400 * 512, 70000);
  SectorReader reader;
  reader.Attach(std::move(source), 400);
  std::vector<uint8_t> buf(200 * 512);
  uint32_t got = 0;
  EXPECT_EQ(reader.ReadSectors(buf.data(), 200, 0, 512, got), kReadFault);
  EXPECT_EQ(got, 70000u / 512);
}

TEST(SectorReader, MissingSourcesReturnThePlatformError) {
  SectorReader reader;
  int rc = reader.OpenFile("/nonexistent/disk.img");
  EXPECT_TRUE(platform::IsPlatformError(rc)) << rc;
  EXPECT_FALSE(reader.IsOpen());
  EXPECT_EQ(reader.TotalSectors(), 0u);
  uint32_t got = 0;
  uint8_t buf[512];
  EXPECT_EQ(reader.ReadSectors(buf, 1, 0, 512, got), kInvalidParameter);
  reader.Close();
  reader.Close();  // closing twice is harmless
}

TEST(SectorReader, DiskNumbersComeFromTheDiskMap) {
  TempDir dir;
  std::string image = MakeImage(dir, 64 * 512);
  ::setenv("SALVORA_DISK_MAP", ("0=" + image).c_str(), 1);
  SectorReader reader;
  EXPECT_EQ(reader.OpenDisk(0), 0);
  EXPECT_EQ(reader.TotalSectors(), 64u);
  EXPECT_EQ(reader.DeviceSectorSize(), 512);
  EXPECT_TRUE(platform::IsPlatformError(reader.OpenDisk(1)));
  ::unsetenv("SALVORA_DISK_MAP");
}

TEST(SectorReader, FileSourceIsOpenedReadOnly) {
  TempDir dir;
  std::string image = MakeImage(dir, 8 * 512);
  std::string before = test::Sha256File(image);
  {
    SectorReader reader;
    ASSERT_EQ(reader.OpenFile(image), 0);
    uint8_t buf[4096];
    uint32_t got = 0;
    ASSERT_EQ(reader.ReadSectors(buf, 8, 0, 512, got), 0);
  }
  platform::FileSource file;
  ASSERT_EQ(file.Open(image), 0);
  EXPECT_EQ(::write(file.fd(), "x", 1), -1) << "the descriptor must not be writable";
  EXPECT_EQ(test::Sha256File(image), before);
}

}  // namespace
}  // namespace salvora

namespace salvora {
namespace {

TEST(SectorReader, BadStretchesOfADyingCardGiveReadFaultsWithTheGoodPrefix) {
  TempDir dir;
  std::string image = MakeImage(dir, 100 * 512);
  platform::SetFaultPlan(image, {{{40 * 512, 42 * 512}}, 0});
  SectorReader reader;
  ASSERT_EQ(reader.OpenFile(image), 0);
  std::vector<uint8_t> buf(20 * 512);
  uint32_t got = 0;
  EXPECT_EQ(reader.ReadSectors(buf.data(), 20, 30, 512, got), kReadFault);
  EXPECT_EQ(got, 10u) << "the sectors before the bad stretch arrive";
  EXPECT_EQ(buf[9 * 512], uint8_t(39));
  EXPECT_EQ(reader.ReadSectors(buf.data(), 10, 50, 512, got), 0) << "the rest of the card reads";
  EXPECT_EQ(reader.ReadSectors(buf.data(), 1, 41, 512, got), kReadFault);
  EXPECT_EQ(got, 0u);
  platform::ClearFaultPlans();

  ::setenv("SALVORA_FAULTS", (image + "=0-512").c_str(), 1);
  SectorReader fromEnv;
  ASSERT_EQ(fromEnv.OpenFile(image), 0);
  EXPECT_EQ(fromEnv.ReadSectors(buf.data(), 1, 0, 512, got), kReadFault);
  EXPECT_EQ(fromEnv.ReadSectors(buf.data(), 1, 1, 512, got), 0);
  ::unsetenv("SALVORA_FAULTS");
}

TEST(SectorReader, ShortReadsAreFollowedByTheNextPiece) {
  TempDir dir;
  std::string image = MakeImage(dir, 300 * 512);
  platform::SetFaultPlan(image, {{}, 1000});
  SectorReader reader;
  ASSERT_EQ(reader.OpenFile(image), 0);
  std::vector<uint8_t> buf(200 * 512);
  uint32_t got = 0;
  EXPECT_EQ(reader.ReadSectors(buf.data(), 200, 0, 512, got), 0);
  EXPECT_EQ(got, 200u);
  EXPECT_EQ(buf[199 * 512], uint8_t(199));
  platform::ClearFaultPlans();
}

}  // namespace
}  // namespace salvora
