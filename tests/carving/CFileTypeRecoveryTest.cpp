#include "carving/CFileTypeRecovery.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "carving/ReaderByteSource.h"
#include "carving/SizeLimits.h"
#include "carving/StructureWalks.h"
#include "platform/Clock.h"
#include "platform/ErrorCodes.h"
#include "scan/ScanLogCatalogue.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

const std::string kJpegHead("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01", 16);

void Put(Bytes& image, size_t at, const std::string& text) {
  if (image.size() < at + text.size()) image.resize(at + text.size());
  std::memcpy(image.data() + at, text.data(), text.size());
}
void PutLe32(Bytes& image, size_t at, uint32_t v) {
  Put(image, at, std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)});
}

// A JPEG of `size` bytes: a real header, filler without FF bytes, the end marker last.
Bytes Jpeg(size_t size) {
  Bytes b(size, 0x5A);
  Put(b, 0, kJpegHead);
  Put(b, size - 2, "\xFF\xD9");
  return b;
}

struct FixedClock : platform::Clock {
  uint64_t TickMs() override { return 1; }
  platform::LocalTime Now() override { return platform::LocalTime{2026, 12, 7, 9, 5, 0, 0}; }
};

// An engine opened on an image file written from bytes, with the data folder in a temporary place.
class FileTypeEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetClock(&clock_);
    ScanLogCatalogue::Instance().NewSession();
  }
  void TearDown() override { platform::SetClock(nullptr); }

  void OpenImage(Bytes image) {
    image.resize((image.size() + 511) / 512 * 512);
    path_ = dir_.File("card.img");
    test::WriteFileBytes(path_, image);
    ASSERT_EQ(engine_.OpenImageFile(path_, u'F'), 0);
    ASSERT_NE(engine_.Store(), nullptr);
    reader_.OpenFile(path_);
    image_ = std::move(image);
  }

  int Carve(uint64_t sector, uint64_t& skip, uint64_t& found, int sectorSize = 512) {
    skip = 1;
    return engine_.CarveAt(image_.data() + sector * sectorSize, sectorSize, sector, 0,
                           image_.size() / sectorSize, -1, &reader_, sectorSize, skip, found);
  }

  std::vector<FoundFileRecord> Root() {
    std::vector<FoundFileRecord> out;
    EXPECT_EQ(engine_.ListChildren(nullptr, 0, out), 0);
    return out;
  }

  FixedClock clock_;
  test::ScopedDataDir data_;
  test::TempDir dir_;
  std::string path_;
  Bytes image_;
  SectorReader reader_;
  CFileTypeRecovery engine_;
};

TEST_F(FileTypeEngineTest, JpegAtSector1953IsRecordedWithItsSizeAndSkipped) {
  Bytes image(4000 * 512);
  Bytes jpeg = Jpeg(1000000);
  std::copy(jpeg.begin(), jpeg.end(), image.begin() + 1953 * 512);
  OpenImage(image);
  uint64_t skip = 0, found = 5;
  ASSERT_EQ(Carve(1953, skip, found), 0);
  EXPECT_EQ(skip, 1954u);
  EXPECT_EQ(found, 6u);
  EXPECT_EQ(engine_.GetFoundCount(), 1u);

  auto root = Root();
  ASSERT_EQ(root.size(), 1u);
  const FoundFileRecord& r = root[0];
  EXPECT_EQ(r.Name(), "1953.jpg");
  EXPECT_EQ(r.FileSize(), 1000000u);
  EXPECT_EQ(r.EntrySector(), 1953u);
  EXPECT_EQ(r.DriveLetter(), u'F');
  EXPECT_EQ(r.EngineKind(), 4u);
  EXPECT_EQ(r.FolderFlag(), 0u);
  EXPECT_EQ(r.DeletedFlag(), 0u);
  EXPECT_EQ(r.ContentCheck(), 1u);
  EXPECT_EQ(r.RecordNumber(), 1u);
  EXPECT_EQ(r.ObjectId(), 0u);
  EXPECT_EQ(r.ClusterSize(), 0xFFFFFFFFu);
  EXPECT_EQ(r.CreationTime() | r.AccessTime() | r.WriteTime(), 0u);
  EXPECT_EQ(r.DataAreaStart(), 0u);
  EXPECT_EQ(r.PartitionStart(), 0u);

  // Recovered bytes equal the planted file.
  const std::string out = dir_.File("out/sub/1953.jpg");
  EXPECT_EQ(engine_.RecoverFile(&r, out, 0), 0);
  EXPECT_EQ(test::ReadFileBytes(out), jpeg);
}

TEST_F(FileTypeEngineTest, DeclaredSizesMoveOnByOneSectorAndEmptySectorsRecordNothing) {
  Bytes image(100 * 512);
  Put(image, 10 * 512, "RIFF");
  PutLe32(image, 10 * 512 + 4, 10000000 - 8);
  Put(image, 10 * 512 + 8, "WAVEfmt ");
  OpenImage(image);
  uint64_t skip = 0, found = 0;
  ASSERT_EQ(Carve(10, skip, found), 0);
  EXPECT_EQ(skip, 1u);  // the coordinator tests the very next sector again
  auto root = Root();
  ASSERT_EQ(root.size(), 1u);
  EXPECT_EQ(root[0].Name(), "10.wav");
  EXPECT_EQ(root[0].FileSize(), 10000000u);

  EXPECT_EQ(Carve(11, skip, found), kInvalidParameter);
  EXPECT_EQ(skip, 1u);
  EXPECT_EQ(found, 1u);
  EXPECT_EQ(engine_.GetFoundCount(), 1u);
}

TEST_F(FileTypeEngineTest, OnlyTheRootHasChildren) {
  Bytes image(100 * 512);
  Bytes jpeg = Jpeg(3000);
  std::copy(jpeg.begin(), jpeg.end(), image.begin() + 20 * 512);
  std::copy(jpeg.begin(), jpeg.end(), image.begin() + 50 * 512);
  OpenImage(image);
  uint64_t skip, found = 0;
  ASSERT_EQ(Carve(20, skip, found), 0);
  ASSERT_EQ(Carve(50, skip, found), 0);
  auto root = Root();
  ASSERT_EQ(root.size(), 2u);
  EXPECT_EQ(root[0].Name(), "20.jpg");
  EXPECT_EQ(root[1].Name(), "50.jpg");
  EXPECT_EQ(root[1].RecordNumber(), 2u);
  int count = -1;
  EXPECT_EQ(engine_.CountFiles(nullptr, 0, count), 0);
  EXPECT_EQ(count, 2);

  std::vector<FoundFileRecord> children;
  EXPECT_EQ(engine_.ListChildren(&root[0], 0, children), 0);
  EXPECT_TRUE(children.empty());
  EXPECT_EQ(engine_.ListChildren(nullptr, 1, children), 0);
  EXPECT_TRUE(children.empty());
  EXPECT_EQ(engine_.CountFiles(&root[0], 1, count), 0);
  EXPECT_EQ(count, 0);

  std::string path = "unchanged";
  EXPECT_EQ(engine_.GetFullPath(&root[0], path, 260), 0);
  EXPECT_EQ(path, "unchanged");
  std::vector<FoundFileRecord> found1;
  EXPECT_EQ(engine_.SearchByExtension("*.jpg|", found1), 1);
  EXPECT_EQ(found1.size(), 2u);
}

TEST_F(FileTypeEngineTest, WithoutAStoreEverySlotAnswersQuietly) {
  CFileTypeRecovery fresh;
  std::vector<FoundFileRecord> list;
  int count = 7;
  EXPECT_EQ(fresh.ListChildren(nullptr, 0, list), 0);
  EXPECT_EQ(fresh.CountFiles(nullptr, 0, count), 0);
  EXPECT_EQ(fresh.GetFoundCount(), 0u);
  EXPECT_EQ(fresh.SetSearchCallback(nullptr, nullptr), kInvalidParameter);
  EXPECT_EQ(fresh.SearchByExtension("*.jpg|", list), 0);
  EXPECT_EQ(fresh.Scan(nullptr), 0);
  EXPECT_EQ(fresh.BuildUsageBitmap(), 0);
  uint64_t start = 5, length = 6;
  EXPECT_EQ(fresh.NextUnusedRange(start, length), 0);
  EXPECT_EQ(start, 5u);
  EXPECT_EQ(length, 6u);
  EXPECT_EQ(fresh.SectorSize(), 512);
  EXPECT_EQ(fresh.RecoverFile(nullptr, dir_.File("x"), 0), kInvalidParameter);
}

TEST_F(FileTypeEngineTest, ScanLogNameCarriesStartSectorAndLocalTime) {
  // Disk 1 is an image file through the disk map.
  Bytes image(4096 * 512);
  path_ = dir_.File("disk1.img");
  test::WriteFileBytes(path_, image);
  const char* old = std::getenv("SALVORA_DISK_MAP");
  std::string saved = old ? old : "";
  ::setenv("SALVORA_DISK_MAP", ("1=" + path_).c_str(), 1);
  EXPECT_EQ(engine_.OpenDiskPartition(1, 2048, 2048, u'G'), 0);
  if (old) ::setenv("SALVORA_DISK_MAP", saved.c_str(), 1); else ::unsetenv("SALVORA_DISK_MAP");
  ASSERT_NE(engine_.Store(), nullptr);
  EXPECT_EQ(fs::path(engine_.Store()->RecordPath()).filename().string(), "File_Type_2048_20261279 5");

  // An image is logged with start sector 0; a failed open still leaves a store with its log.
  EXPECT_NE(engine_.OpenImageFile(dir_.File("missing.img"), 0), 0);
  ASSERT_NE(engine_.Store(), nullptr);
  EXPECT_TRUE(engine_.Store()->IsOpen());
  EXPECT_EQ(fs::path(engine_.Store()->RecordPath()).filename().string(), "File_Type_0_20261279 5");
}

TEST_F(FileTypeEngineTest, AttachImageUsesTheGivenLogAndSectorSize) {
  Bytes image(64 * 4096);
  Bytes jpeg = Jpeg(20000);
  std::copy(jpeg.begin(), jpeg.end(), image.begin() + 10 * 4096);
  path_ = dir_.File("4k.img");
  test::WriteFileBytes(path_, image);
  ASSERT_EQ(engine_.AttachImage("File_Type_0_2026127 9", u'H', path_, 4096), 0);
  EXPECT_EQ(engine_.SectorSize(), 4096);
  EXPECT_EQ(fs::path(engine_.Store()->RecordPath()).filename().string(), "File_Type_0_2026127 9");
  image_ = image;
  reader_.Attach(std::make_unique<platform::MemorySource>(image), 64);
  uint64_t skip, found = 0;
  ASSERT_EQ(Carve(10, skip, found, 4096), 0);
  EXPECT_EQ(skip, 5u);  // 20,000 bytes on 4,096-byte sectors
  auto root = Root();
  ASSERT_EQ(root.size(), 1u);
  EXPECT_EQ(root[0].FileSize(), 20000u);
  EXPECT_EQ(root[0].Name(), "10.jpg");
  // The engine's reader is an image file read in 4 KiB sectors: recovery reads the right bytes.
  const std::string out = dir_.File("10.jpg");
  EXPECT_EQ(engine_.RecoverFile(&root[0], out, 0), 0);
  EXPECT_EQ(test::ReadFileBytes(out), jpeg);
}

struct Calls {
  std::vector<int> percents;
  std::vector<int> errors;
  int stopAt = 0;  // answer this value on the first call when non-zero
};

int OnRecovery(void* user, int percent, int hundred, int error, const char*) {
  auto* c = static_cast<Calls*>(user);
  EXPECT_EQ(hundred, 100);
  c->percents.push_back(percent);
  c->errors.push_back(error);
  return c->stopAt;
}

int OnPreview(void* user, int percent, int error) {
  auto* c = static_cast<Calls*>(user);
  c->percents.push_back(percent);
  c->errors.push_back(error);
  return c->stopAt;
}

TEST_F(FileTypeEngineTest, RecoverReportsProgressAndReadFaultsOnce) {
  Bytes image(400 * 512);
  Bytes jpeg = Jpeg(150000);
  std::copy(jpeg.begin(), jpeg.end(), image.begin() + 3 * 512);
  OpenImage(image);
  const std::string before = test::Sha256File(path_);
  uint64_t skip, found = 0;
  ASSERT_EQ(Carve(3, skip, found), 0);
  FoundFileRecord r = Root().at(0);
  Calls calls;
  engine_.SetScanCallbacks(nullptr, &OnRecovery, &calls, 90);
  const std::string out = dir_.File("a.jpg");
  EXPECT_EQ(engine_.RecoverFile(&r, out, 0), 0);
  EXPECT_EQ(calls.percents, (std::vector<int>{43, 87, 100}));  // 64 KiB pieces of 150,000 bytes
  EXPECT_EQ(test::ReadFileBytes(out), jpeg);

  // A record running past the end of the source: the error is reported once with 100 percent,
  // and the incomplete file does not stay under the name.
  FoundFileRecord past = r;
  past.SetEntrySector(350);
  calls = {};
  const std::string cut = dir_.File("cut.jpg");
  EXPECT_EQ(engine_.RecoverFile(&past, cut, 0), kInvalidParameter);
  ASSERT_FALSE(calls.errors.empty());
  EXPECT_EQ(calls.errors.back(), kInvalidParameter);
  EXPECT_EQ(calls.percents.back(), 100);
  EXPECT_FALSE(fs::exists(cut));
  for (const auto& e : fs::directory_iterator(dir_.path()))
    EXPECT_EQ(e.path().filename().string().find("cut"), std::string::npos) << e.path();

  // The callback's answer stops the copy.
  calls = {};
  calls.stopAt = kScanCancelled;
  EXPECT_EQ(engine_.RecoverFile(&r, dir_.File("stopped.jpg"), 0), kScanCancelled);
  EXPECT_EQ(calls.percents.size(), 1u);

  // A file of 0 bytes gives an empty file, and its end is reported like any other.
  calls = {};
  FoundFileRecord empty = r;
  empty.SetFileSize(0);
  const std::string zero = dir_.File("zero.bin");
  EXPECT_EQ(engine_.RecoverFile(&empty, zero, 0), 0);
  EXPECT_TRUE(fs::exists(zero));
  EXPECT_EQ(fs::file_size(zero), 0u);
  EXPECT_EQ(calls.percents, std::vector<int>{100});
  EXPECT_EQ(test::Sha256File(path_), before);
}

TEST_F(FileTypeEngineTest, PreviewPicksTheTemporaryFileByExtension) {
  Bytes image(400 * 512);
  for (size_t i = 0; i < image.size(); ++i) image[i] = uint8_t(i * 7);
  OpenImage(image);
  const std::string before = test::Sha256File(path_);
  FoundFileRecord r;
  r.SetEntrySector(12);
  r.SetFileSize(70000);

  std::string temp;
  int size = 0;
  Calls calls;
  r.SetName("77.mp4");
  ASSERT_EQ(engine_.ReadForPreview(&r, temp, nullptr, size, &OnPreview, &calls), 0);
  EXPECT_EQ(fs::path(temp).filename(), "tmp.avi");
  EXPECT_EQ(fs::path(temp).parent_path(), fs::path(ScanLogFolder()));
  EXPECT_EQ(size, 0);
  Bytes got = test::ReadFileBytes(temp);
  ASSERT_EQ(got.size(), 70000u);
  EXPECT_TRUE(std::equal(got.begin(), got.end(), image.begin() + 12 * 512));
  EXPECT_EQ(calls.percents.back(), 100);

  r.SetName("12.jpg");
  temp.clear();
  ASSERT_EQ(engine_.ReadForPreview(&r, temp, nullptr, size, nullptr, nullptr), 0);
  EXPECT_EQ(fs::path(temp).filename(), "tmp.jpg");

  r.SetName("5.pdf");
  temp.clear();
  Bytes buffer(1000, 0xEE);
  size = 600;
  calls = {};
  ASSERT_EQ(engine_.ReadForPreview(&r, temp, buffer.data(), size, &OnPreview, &calls), 0);
  EXPECT_TRUE(temp.empty());
  EXPECT_EQ(size, 600);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 600, image.begin() + 12 * 512));
  EXPECT_EQ(buffer[600], 0xEE);  // never beyond the caller's size
  EXPECT_EQ(calls.percents.back(), 100);

  // A failed read deletes the half-written temporary file.
  r.SetName("9.avi");
  r.SetEntrySector(390);
  calls = {};
  EXPECT_EQ(engine_.ReadForPreview(&r, temp, nullptr, size, &OnPreview, &calls), kInvalidParameter);
  EXPECT_FALSE(fs::exists(temp));
  EXPECT_EQ(calls.errors.back(), kInvalidParameter);
  EXPECT_EQ(engine_.ReadForPreview(nullptr, temp, nullptr, size, nullptr, nullptr), kInvalidParameter);
  EXPECT_EQ(test::Sha256File(path_), before);
}

// A photo written around live files (three pieces, live clusters between) with another deleted
// file's clusters before its last piece: given the volume's free clusters, carving reads it in
// the free-space stream, whole from its pieces; the live files' bytes never enter it.
TEST_F(FileTypeEngineTest, AJpegAroundLiveFilesComesBackWholeFromTheFreeClusters) {
  const Bytes photo = test::ReadFileBytes(test::FixturePath("fragcards/fat32/files/P03.JPG"));
  const Bytes other = test::ReadFileBytes(test::FixturePath("fragcards/fat32/files/P01.JPG"));
  ASSERT_GT(photo.size(), 50u * 4096);
  ASSERT_GT(other.size(), 16u * 4096);
  constexpr size_t kCluster = 4096;
  Bytes image(8 * kCluster, 0);
  std::vector<FreeSpaceStream::Range> free{{0, image.size() / 512}};
  size_t taken = 0, otherAt = 0;
  auto piece = [&](size_t clusters) {
    const size_t n = std::min(clusters * kCluster, photo.size() - taken);
    image.insert(image.end(), photo.begin() + taken, photo.begin() + taken + n);
    image.resize((image.size() + kCluster - 1) / kCluster * kCluster, 0);
    taken += n;
  };
  auto foreign = [&](size_t clusters, bool live) {
    const uint64_t at = image.size() / 512;
    image.insert(image.end(), other.begin() + otherAt, other.begin() + otherAt + clusters * kCluster);
    otherAt += clusters * kCluster;
    if (!live) free.back().count += clusters * kCluster / 512;
    else free.push_back({at + clusters * kCluster / 512, 0});
  };
  auto freeTail = [&] { free.back().count = image.size() / 512 - free.back().first; };
  piece(20);
  freeTail();
  foreign(7, true);
  piece(25);
  freeTail();
  foreign(3, true);
  foreign(5, false);
  piece(1000);
  image.resize(image.size() + 8 * kCluster, 0);
  freeTail();
  OpenImage(image);
  engine_.SetAllocationUnit(0, kCluster);
  engine_.SetFreeSpace(FreeSpaceStream(free, 512));

  uint64_t skip = 0, found = 0;
  ASSERT_EQ(Carve(64, skip, found), 0);
  EXPECT_EQ(skip, 20u * kCluster / 512);  // the first piece; the rest holds other files
  auto root = Root();
  ASSERT_EQ(root.size(), 1u);
  EXPECT_EQ(root[0].FileSize(), photo.size());
  const std::string out = dir_.File("out/64.jpg");
  ASSERT_EQ(engine_.RecoverFile(&root[0], out, 0), 0);
  EXPECT_EQ(test::ReadFileBytes(out), photo);
}

// A photo in two pieces with another deleted file's clusters between them, all free: the search
// made ahead on a worker finds the very layout carving's own search finds, and carving takes it.
TEST_F(FileTypeEngineTest, APhotoSearchedAheadIsLaidOutAsCarvingsOwnSearchLaysItOut) {
  const Bytes photo = test::ReadFileBytes(test::FixturePath("fragcards/fat32/files/P03.JPG"));
  const Bytes other = test::ReadFileBytes(test::FixturePath("fragcards/fat32/files/P01.JPG"));
  constexpr size_t kCluster = 4096, kFirst = 20 * kCluster, kGap = 5 * kCluster;
  ASSERT_GT(photo.size(), kFirst + kCluster);
  ASSERT_GT(other.size(), 2 * kCluster + kGap);
  Bytes image(8 * kCluster, 0);
  image.insert(image.end(), photo.begin(), photo.begin() + kFirst);
  image.insert(image.end(), other.begin() + 2 * kCluster, other.begin() + 2 * kCluster + kGap);
  image.insert(image.end(), photo.begin() + kFirst, photo.end());
  image.resize(image.size() + 64 * kCluster, 0);
  OpenImage(image);
  engine_.SetAllocationUnit(0, kCluster);
  const uint64_t at = 8 * kCluster / 512;

  // Carving alone.
  uint64_t skip = 0, found = 0;
  ASSERT_EQ(Carve(at, skip, found), 0);
  auto root = Root();
  ASSERT_EQ(root.size(), 1u);
  FileLayout own;
  ASSERT_TRUE(engine_.Store()->FindLayout(root[0], own));
  EXPECT_EQ(root[0].FileSize(), photo.size());
  EXPECT_EQ(skip, kFirst / 512);

  // The same search made ahead, for the bytes carving measures.
  ReaderByteSource carved(reader_, 512, at, kPictureLimit);
  const uint64_t measured = WalkJpeg(carved).length;
  {
    JpegDecodeAhead ahead(reader_, 512, {{at, image.size() / 512 - at}}, 1, nullptr, engine_.SearchAhead(512));
    ahead.WaitForScout(at);
    const auto answer = ahead.Take(at, measured);
    ASSERT_TRUE(answer);
    ASSERT_TRUE(answer->searched);
    ASSERT_TRUE(answer->pieces);
    EXPECT_EQ(*answer->pieces, own);
  }
  // Carving given it takes it: a second find, laid out the same.
  JpegDecodeAhead ahead(reader_, 512, {{at, image.size() / 512 - at}}, 1, nullptr, engine_.SearchAhead(512));
  engine_.SetDecodeAhead(&ahead);
  ASSERT_EQ(Carve(at, skip, found), 0);
  engine_.SetDecodeAhead(nullptr);
  root = Root();
  ASSERT_EQ(root.size(), 2u);
  FileLayout taken;
  ASSERT_TRUE(engine_.Store()->FindLayout(root[1], taken));
  EXPECT_EQ(taken, own);
  EXPECT_EQ(skip, kFirst / 512);
  const std::string out = dir_.File("out/ahead.jpg");
  ASSERT_EQ(engine_.RecoverFile(&root[1], out, 0), 0);
  EXPECT_EQ(test::ReadFileBytes(out), photo);
}

int CancelAfter(void* user, int, int, int, uint64_t, uint64_t, uint64_t, int) {
  int* left = static_cast<int*>(user);
  return --*left <= 0 ? kScanCancelled : 0;
}

TEST_F(FileTypeEngineTest, CancelDuringALongMeasurementRecordsNothing) {
  Bytes image(2000 * 512);
  Put(image, 5 * 512, kJpegHead);  // no end: measuring reads ahead piece after piece
  OpenImage(image);
  int left = 3;
  engine_.SetScanCallbacks(&CancelAfter, nullptr, &left, 90);
  uint64_t skip, found = 4;
  EXPECT_EQ(Carve(5, skip, found), kScanCancelled);
  EXPECT_EQ(skip, 1u);
  EXPECT_EQ(found, 4u);
  EXPECT_EQ(engine_.GetFoundCount(), 0u);
  EXPECT_TRUE(Root().empty());
  engine_.SetScanCallbacks(nullptr, nullptr, nullptr, 0);
}

}  // namespace
}  // namespace salvora
