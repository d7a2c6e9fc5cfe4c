#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "recovery/EngineFactory.h"
#include "storage/ImageWriter.h"
#include "storage/ScopedDiskMap.h"
#include "support/TestSupport.h"

// An image made by the image writer must scan exactly as the medium it was made from.
namespace salvora {
namespace {

struct Found {
  std::string path;
  std::string name;
  bool folder = false, deleted = false;
  uint64_t size = 0, written = 0, created = 0, entrySector = 0, dataStart = 0;
  uint32_t contentCheck = 0;
  bool operator==(const Found&) const = default;
};

void Walk(IFileRecoveryParse& engine, const FoundFileRecord* folder, int depth, const std::string& path,
          std::vector<Found>& out) {
  std::vector<FoundFileRecord> children;
  ASSERT_EQ(engine.ListChildren(folder, depth, children), 0);
  for (const auto& r : children) {
    Found f{path, std::string(r.Name()), r.IsFolder(), r.IsDeleted(), r.FileSize(), r.WriteTime(),
            r.CreationTime(), r.EntrySector(), r.DataAreaStart(), r.ContentCheck()};
    out.push_back(f);
    if (r.IsFolder() && depth < 64) Walk(engine, &r, depth + 1, path + f.name + "/", out);
  }
}

// Each scan gets a data folder of its own: two scans of sources at the same start within one
// minute would otherwise be given the same scan-log name.
std::vector<Found> Listing(std::unique_ptr<IFileRecoveryParse> engine) {
  EXPECT_NE(engine, nullptr) << "no fast engine for the source";
  if (!engine) return {};
  EXPECT_EQ(engine->Scan(nullptr), 0);
  std::vector<Found> found;
  Walk(*engine, nullptr, 0, "/", found);
  return found;
}

std::vector<Found> DiskScan(int disk, uint64_t sectors) {
  test::ScopedDataDir data;
  return Listing(EngineFactory::Instance().CreateForDisk(disk, 0, sectors, u'1', /*advanced=*/false));
}

std::vector<Found> ImageScan(const std::string& path) {
  test::ScopedDataDir data;
  return Listing(EngineFactory::Instance().CreateForImage(path, u'1', /*advanced=*/false));
}

TEST(CopiedImage, ScansLikeItsSource) {
  test::TempDir dir;
  std::string source = test::GunzipSharedImage("fatcat/deleted.img.gz", dir.path());
  if (source.empty()) GTEST_SKIP() << "shared test data not available";
  std::string copy = dir.File("copy.img");
  {
    test::ScopedDiskMap only("0=" + source);
    ImageWriter writer;
    ASSERT_EQ(writer.CreateImage(0, 0, 0, copy, nullptr, nullptr), 0);
  }
  test::ScopedDiskMap map("0=" + source + ",1=" + copy);
  const uint64_t sectors = std::filesystem::file_size(source) / 512;
  auto original = DiskScan(0, sectors);
  EXPECT_FALSE(original.empty()) << "the source has deleted files to find";
  auto copied = DiskScan(1, sectors);
  EXPECT_TRUE(original == copied) << original.size() << " records from the source, " << copied.size()
                                  << " from the copy read as a disk";
  auto opened = ImageScan(copy);
  EXPECT_TRUE(original == opened) << original.size() << " records from the source, " << opened.size()
                                  << " from the copy opened as an image";
}

}  // namespace
}  // namespace salvora
