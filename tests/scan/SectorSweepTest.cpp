#include "scan/SectorSweep.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/ErrorCodes.h"
#include "platform/FaultInjection.h"
#include "platform/RawSource.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

// A source whose every sector carries its own number in its first 8 bytes.
void AttachNumbered(SectorReader& reader, uint64_t sectors, int sectorSize, uint64_t total = 0) {
  std::vector<uint8_t> bytes(sectors * sectorSize);
  for (uint64_t s = 0; s < sectors; ++s)
    for (int b = 0; b < 8; ++b) bytes[s * sectorSize + b] = uint8_t(s >> (8 * b));
  reader.Attach(std::make_unique<platform::MemorySource>(std::move(bytes)), total ? total : sectors);
}

uint64_t NumberOf(const uint8_t* sector) {
  uint64_t v = 0;
  for (int b = 7; b >= 0; --b) v = (v << 8) | sector[b];
  return v;
}

TEST(SectorSweep, VisitsEverySectorOnceWithItsOwnBytes) {
  SectorReader reader;
  AttachNumbered(reader, 1000, 512);
  SectorSweep sweep(reader, 512);
  std::vector<uint64_t> seen;
  int rc = sweep.Run(100, 700, 0, [&](const uint8_t* s, size_t left, uint64_t address, uint64_t& skip) {
    EXPECT_EQ(skip, 1u);
    EXPECT_EQ(NumberOf(s), address);
    EXPECT_GE(left, 512u);
    EXPECT_EQ(left % 512, 0u);
    seen.push_back(address);
    return kInvalidParameter;  // an empty sector does not stop the sweep
  });
  EXPECT_EQ(rc, 0);
  ASSERT_EQ(seen.size(), 700u);
  for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], 100 + i);
  EXPECT_EQ(sweep.Swept(), 700u);
  EXPECT_EQ(sweep.Offset(), 700u);
}

TEST(SectorSweep, SkipAcrossChunkEndsResumesAfterTheSkippedRun) {
  SectorReader reader;
  AttachNumbered(reader, 1000, 512);
  SectorSweep sweep(reader, 512);
  ASSERT_EQ(sweep.ChunkSectors(), 128u);
  std::vector<uint64_t> seen;
  // A "file" at 120 spanning 300 sectors: the next sector offered is 420.
  sweep.Run(0, 1000, 0, [&](const uint8_t*, size_t, uint64_t address, uint64_t& skip) {
    seen.push_back(address);
    if (address == 120) skip = 300;
    if (address == 990) skip = 50;  // past the range's end
    return 0;
  });
  ASSERT_GE(seen.size(), 122u);
  EXPECT_EQ(seen[120], 120u);
  EXPECT_EQ(seen[121], 420u);
  EXPECT_EQ(seen.back(), 990u);
  EXPECT_EQ(seen.size(), 121u + (990 - 420 + 1));
  EXPECT_EQ(sweep.Swept(), 1000u);  // the overshoot is not counted as swept
}

TEST(SectorSweep, CancelStopsExactlyAtTheCancelledSector) {
  SectorReader reader;
  AttachNumbered(reader, 1000, 512);
  SectorSweep sweep(reader, 512);
  int chunks = 0;
  int rc = sweep.Run(
      0, 1000, 0,
      [&](const uint8_t*, size_t, uint64_t address, uint64_t&) {
        return address == 333 ? kScanCancelled : 0;
      },
      [&](uint64_t) { ++chunks; return 0; });
  EXPECT_EQ(rc, kScanCancelled);
  EXPECT_EQ(sweep.Offset(), 333u);
  EXPECT_EQ(sweep.Swept(), 333u);
  EXPECT_EQ(chunks, 2);  // the cancelled chunk is not reported

  // Resuming at the saved offset offers the cancelled sector first.
  std::vector<uint64_t> seen;
  rc = sweep.Run(0, 1000, sweep.Offset(), [&](const uint8_t*, size_t, uint64_t a, uint64_t&) {
    seen.push_back(a);
    return 0;
  });
  EXPECT_EQ(rc, 0);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.front(), 333u);
  EXPECT_EQ(seen.size(), 667u);
  EXPECT_EQ(sweep.Swept(), 1000u);
}

TEST(SectorSweep, ObserverAnswerStopsTheSweep) {
  SectorReader reader;
  AttachNumbered(reader, 1000, 512);
  SectorSweep sweep(reader, 512);
  uint64_t lastSwept = 0;
  int rc = sweep.Run(
      0, 1000, 0, [](const uint8_t*, size_t, uint64_t, uint64_t&) { return 0; },
      [&](uint64_t swept) {
        lastSwept = swept;
        return swept >= 256 ? kScanCancelled : 0;
      });
  EXPECT_EQ(rc, kScanCancelled);
  EXPECT_EQ(lastSwept, 256u);
}

TEST(SectorSweep, FourKibSectorsUseSixteenSectorChunks) {
  SectorReader reader;
  AttachNumbered(reader, 40, 4096);
  SectorSweep sweep(reader, 4096);
  EXPECT_EQ(sweep.ChunkSectors(), 16u);
  std::vector<size_t> lefts;
  sweep.Run(0, 40, 0, [&](const uint8_t* s, size_t left, uint64_t a, uint64_t&) {
    EXPECT_EQ(NumberOf(s), a);
    lefts.push_back(left);
    return 0;
  });
  ASSERT_EQ(lefts.size(), 40u);
  EXPECT_EQ(lefts[0], 16u * 4096);
  EXPECT_EQ(lefts[15], 4096u);
  EXPECT_EQ(lefts[32], 8u * 4096);  // the last, short chunk
}

TEST(SectorSweep, RangePastTheSourceEndOffersOnlyWhatCouldBeRead) {
  SectorReader reader;
  // The reader claims 300 sectors but only 200 exist: the read of the chunk at 128 is cut short.
  AttachNumbered(reader, 200, 512, 300);
  SectorSweep sweep(reader, 512);
  std::vector<uint64_t> seen;
  int rc = sweep.Run(0, 400, 0, [&](const uint8_t* s, size_t, uint64_t a, uint64_t&) {
    EXPECT_EQ(NumberOf(s), a);
    seen.push_back(a);
    return 0;
  });
  EXPECT_EQ(rc, 0);
  ASSERT_EQ(seen.size(), 200u);
  EXPECT_EQ(seen.back(), 199u);
  EXPECT_EQ(sweep.Swept(), 400u);
}

TEST(SectorSweep, BadSectorsCostOnlyThemselvesAndLongStretchesFewReads) {
  // A numbered image file with a lone bad sector in the middle of a chunk and a long bad stretch.
  test::TempDir dir;
  const std::string image = dir.File("bad.img");
  std::vector<uint8_t> bytes(3000 * 512);
  for (uint64_t s = 0; s < 3000; ++s)
    for (int b = 0; b < 8; ++b) bytes[s * 512 + b] = uint8_t(s >> (8 * b));
  test::WriteFileBytes(image, bytes);
  platform::SetFaultPlan(image, {{{150 * 512, 151 * 512}, {1000 * 512, 2000 * 512}}, 0});
  SectorReader reader;
  ASSERT_EQ(reader.OpenFile(image), 0);
  SectorSweep sweep(reader, 512);
  std::vector<uint64_t> seen;
  int rc = sweep.Run(0, 3000, 0, [&](const uint8_t* s, size_t, uint64_t a, uint64_t&) {
    EXPECT_EQ(NumberOf(s), a);
    seen.push_back(a);
    return 0;
  });
  platform::ClearFaultPlans();
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(sweep.Swept(), 3000u);
  // Everything before and behind the lone bad sector of the chunk 128..255 is offered.
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 149u), 1);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 150u), 0);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 151u), 1);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 999u), 1);
  for (uint64_t a : seen) EXPECT_TRUE(a < 1000 || a >= 2000) << a;
  // The steps over the long stretch grow to whole chunks: far fewer failing reads than sectors,
  // and the sweep is back on the medium within a chunk of the stretch's end.
  EXPECT_LT(sweep.UnreadableReads(), 30u);
  EXPECT_LE(*std::find_if(seen.begin(), seen.end(), [](uint64_t a) { return a >= 2000; }), 2000u + 128);
  EXPECT_EQ(seen.back(), 2999u);
}

}  // namespace
}  // namespace salvora
