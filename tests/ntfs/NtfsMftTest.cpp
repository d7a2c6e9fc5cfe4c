#include <gtest/gtest.h>

#include "ntfs/NtfsMft.h"

namespace salvora {
namespace {

NtfsGeometry Geometry(uint64_t volumeStart) {
  NtfsGeometry g;
  g.volumeStart = volumeStart;
  g.sectorsPerCluster = 8;
  return g;  // 512-byte sectors, two per record
}

TEST(NtfsMftMapping, RecordsMapThroughTheRuns) {
  RunList runs{{2, 10, false}, {3, 20, false}};  // clusters 10-11, then 30-32
  NtfsGeometry g = Geometry(2048);
  EXPECT_EQ(NtfsMft::RecordToSector(runs, g, 0), 2048u + 80);
  EXPECT_EQ(NtfsMft::RecordToSector(runs, g, 7), 2048u + 80 + 14);
  // The record whose offset is the end of the first run is the first of the second run.
  EXPECT_EQ(NtfsMft::RecordToSector(runs, g, 8), 2048u + 240);
  EXPECT_EQ(NtfsMft::RecordToSector(runs, g, 19), 2048u + 240 + 22);
  // Past the runs: the volume start, which holds no FILE record.
  EXPECT_EQ(NtfsMft::RecordToSector(runs, g, 20), 2048u);
  EXPECT_EQ(NtfsMft::RecordToSector({}, g, 0), 2048u);
}

TEST(NtfsMftMapping, FurtherExtentsAreRebasedOntoTheRunsBefore) {
  RunList runs{{10, 100, false}};
  AppendExtent(runs, RunList{{4, 0, true}, {5, 300, false}, {2, -50, false}});
  ASSERT_EQ(runs.size(), 4u);
  EXPECT_TRUE(runs[1].sparse);
  int64_t cluster = 0;
  std::vector<int64_t> starts;
  for (const auto& r : runs) starts.push_back(cluster += r.delta);
  EXPECT_EQ(starts, (std::vector<int64_t>{100, 100, 300, 250}));
}

}  // namespace
}  // namespace salvora
