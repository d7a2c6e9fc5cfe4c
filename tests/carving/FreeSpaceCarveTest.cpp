// Carving on a FAT32 camera card whose deleted photos were written around live files and other
// deleted ones (tests/fixtures/make-fragcards.sh), with the volume's allocation map: a photo whose
// pieces lie apart only by live files, or by live files and one run of other deleted files'
// clusters, comes back byte for byte from its first sector alone; the card is never written.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "carving/CFileTypeRecovery.h"
#include "fat/CFastFatRecovery.h"
#include "scan/ScanLogCatalogue.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

struct Photo {
  std::string name, sha, zeroedAt;
  std::vector<std::pair<uint64_t, uint64_t>> pieces;  // first sector, sectors
};

std::vector<Photo> Manifest() {
  std::vector<Photo> rows;
  std::ifstream in(test::FixturePath("fragcards/fat32/manifest.tsv"));
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    Photo p;
    std::string size, count, runs;
    if (!(fields >> p.name >> size >> count >> p.sha >> p.zeroedAt >> runs)) continue;
    std::istringstream pieces(runs);
    for (std::string run; std::getline(pieces, run, ',');)
      p.pieces.emplace_back(std::stoull(run), std::stoull(run.substr(run.find('+') + 1)));
    rows.push_back(p);
  }
  return rows;
}

// The gaps between a photo's pieces that hold free sectors (other deleted files' clusters): the
// ones the free-space stream still has to jump.
int FreeGaps(const Photo& p, const FreeSpaceStream& free) {
  int gaps = 0;
  for (size_t i = 1; i < p.pieces.size(); ++i) {
    bool any = false;
    for (uint64_t s = p.pieces[i - 1].first + p.pieces[i - 1].second; s < p.pieces[i].first && !any; ++s)
      any = free.Contiguous(s, 512);
    gaps += any;
  }
  return gaps;
}

TEST(FreeSpaceCarving, PhotosAroundLiveFilesComeBackFromTheirFirstSector) {
  test::ScopedDataDir data;
  ScanLogCatalogue::Instance().NewSession();
  const std::string image = test::FixturePath("fragcard-fat32.img");
  const std::string before = test::Sha256File(image);
  CFastFatRecovery fat;
  ASSERT_EQ(fat.OpenImageFile(image, u'F'), 0);
  ASSERT_EQ(fat.BuildUsageBitmap(), 0);
  std::vector<FreeSpaceStream::Range> ranges;
  for (uint64_t at = 0, length = 1;; at += length, length = 1) {
    fat.NextUnusedRange(at, length);
    if (length == 0) break;
    ranges.push_back({at, length});
  }
  const FreeSpaceStream free(ranges, 512);

  CFileTypeRecovery carving;
  ASSERT_EQ(carving.OpenImageFile(image, u'F'), 0);
  SectorReader reader;
  ASSERT_EQ(reader.OpenFile(image), 0);
  const FatGeometry& g = fat.Geometry();
  carving.SetAllocationUnit(g.dataStart, g.sectorsPerCluster * 512);
  carving.SetFreeSpace(free);
  test::TempDir out;
  int tried = 0, inThree = 0;
  for (const Photo& p : Manifest()) {
    if (p.zeroedAt != "-" || FreeGaps(p, free) > 1) continue;
    ++tried;
    inThree += p.pieces.size() >= 3;
    const uint64_t first = p.pieces.front().first;
    std::vector<uint8_t> sector(512);
    uint32_t got = 0;
    ASSERT_EQ(reader.ReadSectors(sector.data(), 1, first, 512, got), 0);
    uint64_t skip = 1, found = 0;
    ASSERT_EQ(carving.CarveAt(sector.data(), 512, first, 0, 1, -1, &reader, 512, skip, found), 0) << p.name;
    std::vector<FoundFileRecord> root;
    ASSERT_EQ(carving.ListChildren(nullptr, 0, root), 0);
    ASSERT_FALSE(root.empty());
    const std::string path = out.File(p.name);
    ASSERT_EQ(carving.RecoverFile(&root.back(), path, 0), 0);
    EXPECT_EQ(test::Sha256File(path), p.sha) << p.name << " in " << p.pieces.size() << " pieces";
  }
  // On this card: two photos in two pieces, one in three whose live gap the stream skips.
  EXPECT_GE(tried, 3);
  EXPECT_GE(inThree, 1);
  EXPECT_EQ(test::Sha256File(image), before);
}

}  // namespace
}  // namespace salvora
