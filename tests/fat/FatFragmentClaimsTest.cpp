// Deleted files written into holes are put back cluster by cluster from the live table alone.
#include <gtest/gtest.h>

#include <string>

#include "fatfamily/FatFragmentClaims.h"

namespace salvora {
namespace {

using Runs = std::vector<FatFragmentClaims::Run>;

// One character per cluster from cluster 2 on: 'L' in use by a live file, anything else free.
FatFragmentClaims::FreeTest Table(const std::string& map) {
  return [map](uint32_t c) { return c >= 2 && c - 2 < map.size() && map[c - 2] != 'L'; };
}

TEST(FatFragmentClaimsTest, InterleavedDeletedFilesTakeTheirOwnPiecesPastLiveFilesAndEachOther) {
  // Written first-fit into holes: a = 2-4, 9-10; b = 5-7 (deleted, contiguous); c = 11, 14-15,
  // 18 (three pieces); d = 19-20. The live table shows only the live files.
  //                     2345678901234567890
  const std::string map = "aaabbbLaacLLccLLcdd";
  FatFragmentClaims claims(20, Table(map), 100);
  claims.Place({{1, 2, 5}, {2, 5, 3}, {3, 11, 4}, {4, 19, 2}});
  ASSERT_NE(claims.RunsOf(1), nullptr);
  EXPECT_EQ(*claims.RunsOf(1), (Runs{{2, 3}, {9, 2}}));
  EXPECT_EQ(*claims.RunsOf(2), (Runs{{5, 3}}));
  EXPECT_EQ(*claims.RunsOf(3), (Runs{{11, 1}, {14, 2}, {18, 1}}));
  EXPECT_EQ(*claims.RunsOf(4), (Runs{{19, 2}}));
  // Ignoring the other deleted files, a would run on into b.
  EXPECT_EQ(claims.FreeOnly({1, 2, 5}), (Runs{{2, 5}}));
}

TEST(FatFragmentClaimsTest, ConflictsWithoutAnAnswerKeepTheContiguousRunButStillReserveIt) {
  //                     23456789012345678901
  const std::string map = "xLssffLLLLLLLLLLLLbb";
  // Two entries on cluster 4 (s); x needs three clusters; a file at 20 that needs more clusters
  // than are free.
  FatFragmentClaims claims(21, Table(map), 100);
  claims.Place({{1, 4, 2}, {2, 4, 3}, {3, 2, 3}, {4, 20, 5}});
  EXPECT_EQ(claims.RunsOf(1), nullptr);
  EXPECT_EQ(claims.RunsOf(2), nullptr);
  EXPECT_EQ(claims.RunsOf(4), nullptr);
  ASSERT_NE(claims.RunsOf(3), nullptr);
  EXPECT_EQ(*claims.RunsOf(3), (Runs{{2, 1}, {6, 2}})) << "the shared run stays reserved";

  // Written at different times, the later file holds the shared cluster: its data went over
  // the older one's, which claims nothing, so the later one steps into its clusters.
  //                             234567890
  FatFragmentClaims later(10, Table("ssLsssxxx"), 100);
  later.Place({{1, 2, 2, 100}, {2, 2, 5, 200}, {3, 8, 3, 150}});
  EXPECT_EQ(later.RunsOf(1), nullptr);
  ASSERT_NE(later.RunsOf(2), nullptr);
  EXPECT_EQ(*later.RunsOf(2), (Runs{{2, 2}, {5, 3}}));
  ASSERT_NE(later.RunsOf(3), nullptr);
  EXPECT_EQ(*later.RunsOf(3), (Runs{{8, 3}}));

  // Past the last cluster the search goes on at the start, never into the file's own first run.
  FatFragmentClaims wrapping(21, Table(map), 100);
  wrapping.Place({{1, 20, 3}, {2, 4, 2}});
  ASSERT_NE(wrapping.RunsOf(1), nullptr);
  EXPECT_EQ(*wrapping.RunsOf(1), (Runs{{20, 2}, {2, 1}}));
  FatFragmentClaims full(21, Table(map), 100);
  full.Place({{1, 20, 9}});
  EXPECT_EQ(full.RunsOf(1), nullptr);

  // Twelve live clusters to step over with a budget of five: no answer.
  FatFragmentClaims narrow(21, Table(map), 5);
  narrow.Place({{1, 6, 4}});
  EXPECT_EQ(narrow.RunsOf(1), nullptr);
}

}  // namespace
}  // namespace salvora
