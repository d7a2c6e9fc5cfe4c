// Recovery, preview and the usage bitmap of the fast NTFS engine, checked byte for byte against
// the originals the fixture script kept, and against ntfscluster's free-space count.
#include <gtest/gtest.h>

#include <filesystem>

#include "ntfs/CFastNtfsRecovery.h"
#include "ntfs/NtfsEngineSupport.h"
#include "output/OutputFiles.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;
using test::ScannedNtfs;

class NtfsRecover : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    image_ = test::FixturePath("ntfs-files.img");
    imageHash_ = test::Sha256File(image_);
    scan_ = new ScannedNtfs(image_);
  }
  static void TearDownTestSuite() {
    EXPECT_EQ(test::Sha256File(image_), imageHash_);  // scan, preview and recovery only read
    delete scan_;
    scan_ = nullptr;
  }
  std::string Original(const std::string& name) const { return test::Sha256File(image_ + "-src/" + name); }

  static std::string image_, imageHash_;
  static ScannedNtfs* scan_;
  test::TempDir out_;
};
std::string NtfsRecover::image_, NtfsRecover::imageHash_;
ScannedNtfs* NtfsRecover::scan_ = nullptr;

TEST_F(NtfsRecover, FilesAreByteIdentical) {
  // Resident (600 bytes), non-resident, 150 fragments, a size that is no multiple of the
  // cluster size, an empty file, names with blanks.
  for (const char* name : {"resident.txt", "x.bin", "frag.bin", "big.bin", "empty.dat", "photo.jpg",
                           "Long Name Document.txt", "deep.txt"}) {
    const FoundFileRecord* r = scan_->File(name);
    ASSERT_NE(r, nullptr) << name;
    std::string dest = out_.File(std::string("sub/") + name);
    ASSERT_EQ(scan_->engine->RecoverFile(r, dest, 0), 0) << name;
    EXPECT_EQ(test::Sha256File(dest), Original(name)) << name;
  }
}

TEST_F(NtfsRecover, NeverOverwritesAnExistingFile) {
  const FoundFileRecord* r = scan_->File("x.bin");
  ASSERT_NE(r, nullptr);
  std::string dest = out_.File("x.bin");
  test::WriteFileBytes(dest, {1, 2, 3});
  EXPECT_NE(scan_->engine->RecoverFile(r, dest, 0), 0);
  EXPECT_EQ(test::ReadFileBytes(dest), (std::vector<uint8_t>{1, 2, 3}));
}

const FoundFileRecord* FolderD(const ScannedNtfs& scan) {
  auto d = scan.Folders("D");
  return d.size() == 1 ? d[0] : nullptr;
}

TEST_F(NtfsRecover, FolderRecoveryWritesTheSubtree) {
  const FoundFileRecord* d = FolderD(*scan_);
  ASSERT_NE(d, nullptr);
  std::string dest = out_.File("D");
  // D lies in the root, so its children are at depth 1.
  ASSERT_EQ(scan_->engine->RecoverFile(d, dest, CountSeparators(dest) - 1), 0);
  EXPECT_EQ(test::Sha256File(dest + "/x.bin"), Original("x.bin"));
  EXPECT_EQ(test::Sha256File(dest + "/B/y.bin"), Original("y.bin"));
}

struct CancelOn {
  std::string fileName;
  std::vector<std::string> paths;
  static int Callback(void* user, int, int hundred, int, const char* path) {
    auto* c = static_cast<CancelOn*>(user);
    EXPECT_EQ(hundred, 100);
    c->paths.push_back(path);
    return fs::path(path).filename() == c->fileName ? kScanCancelled : 0;
  }
};

TEST_F(NtfsRecover, CancelDuringTheSecondFileKeepsTheFirst) {
  CFastNtfsRecovery& engine = *scan_->engine;
  CancelOn cancel{"y.bin", {}};
  engine.SetScanCallbacks(nullptr, &CancelOn::Callback, &cancel, 100);
  const FoundFileRecord* d = FolderD(*scan_);
  ASSERT_NE(d, nullptr);
  std::string dest = out_.File("D");
  EXPECT_EQ(engine.RecoverFile(d, dest, CountSeparators(dest) - 1), kScanCancelled);
  engine.SetScanCallbacks(nullptr, nullptr, nullptr, 100);
  EXPECT_EQ(test::Sha256File(dest + "/x.bin"), Original("x.bin"));
  ASSERT_FALSE(cancel.paths.empty());
  EXPECT_EQ(fs::path(cancel.paths.back()).filename(), "y.bin");
}

TEST_F(NtfsRecover, PreviewOfAPictureGoesToTheTempFile) {
  const FoundFileRecord* photo = scan_->File("photo.jpg");
  ASSERT_NE(photo, nullptr);
  std::string temp;
  int size = 0;
  ASSERT_EQ(scan_->engine->ReadForPreview(photo, temp, nullptr, size, nullptr, nullptr), 0);
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(fs::path(temp).filename(), "tmp.jpg");
  EXPECT_EQ(test::Sha256File(temp), Original("photo.jpg"));
  EXPECT_EQ(size, 0);
}

TEST_F(NtfsRecover, PreviewOfOtherFilesFillsTheBuffer) {
  std::vector<uint8_t> buffer(100, 0xEE);
  std::string temp;
  for (const char* name : {"resident.txt", "big.bin"}) {
    const FoundFileRecord* r = scan_->File(name);
    ASSERT_NE(r, nullptr);
    int size = 64;
    ASSERT_EQ(scan_->engine->ReadForPreview(r, temp, buffer.data(), size, nullptr, nullptr), 0) << name;
    EXPECT_TRUE(temp.empty());
    ASSERT_EQ(size, 64);
    auto original = test::ReadFileBytes(image_ + "-src/" + name);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 64, original.begin())) << name;
    EXPECT_EQ(buffer[64], 0xEE);  // nothing past the size the caller gave
  }
  int size = 10;
  EXPECT_EQ(scan_->engine->ReadForPreview(nullptr, temp, buffer.data(), size, nullptr, nullptr),
            kInvalidParameter);
}

// The free ranges add up to the free space that ntfscluster counts from $Bitmap.
void ExpectFreeSpaceMatchesNtfscluster(const std::string& image) {
  if (!test::HaveTool("ntfscluster")) GTEST_SKIP() << "ntfscluster missing";
  std::string info;
  ASSERT_EQ(test::RunCommand("ntfscluster -i '" + image + "' 2>/dev/null", &info), 0);
  size_t at = info.find("bytes of free space");
  ASSERT_NE(at, std::string::npos);
  uint64_t freeBytes = std::stoull(info.substr(info.find(':', at) + 1));

  CFastNtfsRecovery engine;
  ASSERT_EQ(engine.OpenImageFile(image, 0), 0);
  uint64_t start = 0, length = 0;
  EXPECT_EQ(engine.NextUnusedRange(start, length), 1);
  EXPECT_EQ(length, 0u);  // no bitmap yet
  ASSERT_EQ(engine.BuildUsageBitmap(), 0);
  const NtfsGeometry& g = engine.Geometry();
  uint64_t freeSectors = 0, ranges = 0;
  start = 0;
  for (;;) {
    ASSERT_EQ(engine.NextUnusedRange(start, length), 1);
    if (length == 0) break;
    EXPECT_EQ(start % uint64_t(g.sectorsPerCluster), 0u);
    freeSectors += length;
    start += length;
    ++ranges;
  }
  EXPECT_GT(ranges, 1u);
  EXPECT_EQ(freeSectors * uint64_t(g.bytesPerSector), freeBytes);
}

TEST(NtfsUsageBitmap, FreeRangesMatchNtfscluster) {
  ExpectFreeSpaceMatchesNtfscluster(test::FixturePath("ntfs-files.img"));
}
TEST(NtfsUsageBitmap, FreeRangesMatchNtfsclusterOn4kSectors) {
  ExpectFreeSpaceMatchesNtfscluster(test::FixturePath("ntfs-4k-files.img"));
}

TEST(NtfsFourKSectors, RecoversFromA4096ByteSectorVolume) {
  std::string image = test::FixturePath("ntfs-4k-files.img");
  std::string hash = test::Sha256File(image);
  ScannedNtfs scan(image);
  test::TempDir out;
  for (const char* name : {"h.txt", "r.bin"}) {
    const FoundFileRecord* r = scan.File(name);
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(scan.engine->RecoverFile(r, out.File(name), 0), 0);
    EXPECT_EQ(test::Sha256File(out.File(name)), test::Sha256File(image + "-src/" + name)) << name;
  }
  EXPECT_EQ(test::Sha256File(image), hash);
}

}  // namespace
}  // namespace salvora
