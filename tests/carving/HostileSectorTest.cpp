// Every tester on random, zero, short and truncated input: exact-size heap copies, so that the
// sanitizer build catches any read past the input, and the dispatch by first byte checked against
// running the whole table in order.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "CarvingTestSupport.h"
#include "carving/FormatTable.h"
#include "carving/SignatureScanner.h"
#include "carving/Testers.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

std::vector<Tester> AllTesters() {
  std::vector<Tester> testers;
  for (size_t i = 0; i < kFormatRowCount; ++i)
    if (testers.empty() || testers.back() != FormatTable[i].tester) testers.push_back(FormatTable[i].tester);
  return testers;
}

TEST(HostileSectors, TestersAnswerNoneForNullAndEmptyInput) {
  test::AimContextAt(nullptr, 0);
  for (Tester t : AllTesters()) {
    EXPECT_EQ(t(nullptr, 512), kTypeNone);
    uint8_t one = 0x47;
    EXPECT_EQ(t(&one, 0), kTypeNone);
    EXPECT_EQ(t(&one, -5), kTypeNone);
  }
  EXPECT_EQ(AllTesters().size(), 48u);
  EXPECT_EQ(IdentifySector(nullptr, 512), kTypeNone);
  EXPECT_FALSE(IsMetadataSector(nullptr, 512));
}

// Every length from 0 to 600 of the real first sectors, cut short: no tester reads past the end,
// and a tester that needs more than it is given answers none.
TEST(HostileSectors, TruncatedRealSectorsStayInBounds) {
  const std::string dir = std::string(SALVORA_FIXTURE_DIR) + "/media";
  if (!std::filesystem::exists(dir)) GTEST_SKIP() << "no media fixtures";
  test::PlantedMedium medium(16);
  SectorReader& reader = medium.Reader();
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    auto data = test::ReadFileBytes(entry.path().string());
    data.resize(600, 0);
    for (int length = 0; length <= 600; length += (length < 64 ? 1 : 7)) {
      auto exact = std::make_unique<uint8_t[]>(size_t(length) + 1);
      std::copy(data.begin(), data.begin() + length, exact.get());
      test::AimContextAt(&reader, 1);
      for (Tester t : AllTesters()) t(exact.get(), length);
      IdentifySector(exact.get(), length);
      IsMetadataSector(exact.get(), length);
    }
  }
  SUCCEED();
}

// Sectors made of random bytes, each first-byte value forced in turn, with and without the
// patterns that testers look for at fixed offsets; the dispatch and the table agree on each.
TEST(HostileSectors, DispatchAgreesWithTableOrder) {
  std::mt19937 rng(1234);
  test::PlantedMedium medium(64);
  for (auto& b : medium.bytes()) b = uint8_t(rng());
  SectorReader& reader = medium.Reader();
  const std::vector<std::string> patterns = {"",         "ftypiso", "ftypqt  ", "ftyp3gp", "ftypmp42",
                                             "moov",     "PK\x03\x04", "MThd",  "RIFF",   "GIF89a"};
  std::set<TypeCode> seen;
  for (int first = 0; first < 256; ++first) {
    for (const std::string& pattern : patterns) {
      for (int round = 0; round < 8; ++round) {
        std::vector<uint8_t> sector(512);
        for (auto& b : sector) b = uint8_t(rng());
        if (!pattern.empty()) {
          const size_t at = (pattern.rfind("ftyp", 0) == 0) ? 4 : 0;
          std::copy(pattern.begin(), pattern.end(), sector.begin() + long(at));
        }
        if (round & 1) std::fill(sector.begin() + 16, sector.end(), 0);
        if (round & 2) std::fill(sector.begin() + 4, sector.begin() + 8, 0);
        sector[0] = uint8_t(first);
        test::AimContextAt(&reader, 10);
        const TypeCode fast = IdentifySector(sector.data(), 512);
        test::AimContextAt(&reader, 10);
        ASSERT_EQ(fast, IdentifySectorInTableOrder(sector.data(), 512))
            << "first byte " << first << " pattern " << pattern;
        seen.insert(fast);
      }
    }
  }
  // The patterns above reach several formats, so the comparison is not only of misses.
  EXPECT_GE(seen.size(), 5u);
}

TEST(HostileSectors, ZeroAndRandomSectorsAreNoFormat) {
  std::mt19937 rng(99);
  std::vector<uint8_t> zeros(4096, 0);
  test::AimContextAt(nullptr, 0);
  EXPECT_EQ(IdentifySector(zeros.data(), 512), kTypeNone);
  EXPECT_EQ(IdentifySector(zeros.data(), 4096), kTypeNone);
  EXPECT_FALSE(IsMetadataSector(zeros.data(), 512));
  int recognised = 0;
  for (int i = 0; i < 20000; ++i) {
    std::vector<uint8_t> sector(512);
    for (auto& b : sector) b = uint8_t(rng());
    recognised += IdentifySector(sector.data(), 512) != kTypeNone;
    recognised += IsMetadataSector(sector.data(), 512);
  }
  // Random bytes match a 2- to 4-byte signature now and then (TIFF, BMP), almost never more.
  EXPECT_LT(recognised, 10);
}

}  // namespace
}  // namespace salvora
