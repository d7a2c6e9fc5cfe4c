// The fast NTFS scan on volumes made by mkntfs and ntfs-3g (tests/fixtures/make-ntfs.sh).
#include <gtest/gtest.h>

#include <sstream>

#include "ntfs/CFastNtfsRecovery.h"
#include "ntfs/NtfsEngineSupport.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using test::ScannedNtfs;

class NtfsFilesScan : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    image_ = test::FixturePath("ntfs-files.img");
    imageHash_ = test::Sha256File(image_);
    scan_ = new ScannedNtfs(image_);
  }
  static void TearDownTestSuite() {
    delete scan_;
    scan_ = nullptr;
  }
  static std::string image_, imageHash_;
  static ScannedNtfs* scan_;
};
std::string NtfsFilesScan::image_, NtfsFilesScan::imageHash_;
ScannedNtfs* NtfsFilesScan::scan_ = nullptr;

TEST_F(NtfsFilesScan, FindsEveryDeletedFileWithItsSize) {
  ASSERT_EQ(scan_->openResult, 0);
  ASSERT_EQ(scan_->scanResult, 0);
  std::string src = image_ + "-src/";
  for (const char* name : {"g.txt", "deep.txt", "x.bin", "y.bin", "resident.txt", "big.bin", "frag.bin",
                           "empty.dat", "photo.jpg", "fake.jpg", "inner.txt", "Long Name Document.txt",
                           "Second Long Name.txt"}) {
    const FoundFileRecord* r = scan_->File(name);
    ASSERT_NE(r, nullptr) << name;
    EXPECT_EQ(r->FileSize(), test::ReadFileBytes(src + name).size()) << name;
    EXPECT_EQ(r->ClusterSize(), 4096u);
    EXPECT_EQ(r->EngineKind(), 0u);
    EXPECT_EQ(r->DriveLetter(), u'E');
    EXPECT_NE(r->WriteTime(), 0u);
    EXPECT_TRUE(r->IsDeleted()) << name;
  }
  ASSERT_FALSE(scan_->Folders("Gone").empty());
  EXPECT_TRUE(scan_->Folders("Gone")[0]->IsDeleted());
  ASSERT_FALSE(scan_->Folders("A").empty());
  EXPECT_FALSE(scan_->Folders("A")[0]->IsDeleted()) << "a folder still in use is live";
  // Files in use, and the system files, are never reported.
  EXPECT_EQ(scan_->Folders("reuse.txt").size(), 0u);
  for (const auto& r : scan_->records) {
    EXPECT_NE(r.Name(), "frag-keep.bin");
    EXPECT_NE(r.Name(), "reuse.txt");
    EXPECT_GT(r.ObjectId(), 11u) << r.Name();
  }
  EXPECT_EQ(test::Sha256File(image_), imageHash_);
}

TEST_F(NtfsFilesScan, NestedFilesKeepTheirFolderChain) {
  const FoundFileRecord* deep = scan_->File("deep.txt");
  ASSERT_NE(deep, nullptr);
  EXPECT_EQ(scan_->PathOf(*deep), "A\\B\\");
  // The chain walk notes B before A.
  auto a = scan_->Folders("A");
  auto b = scan_->Folders("B");
  ASSERT_EQ(a.size(), 1u);
  ASSERT_EQ(b.size(), 2u);  // A\B and D\B
  const auto& list = scan_->engine->FolderList();
  auto pos = [&](uint32_t id) { return std::find(list.begin(), list.end(), id) - list.begin(); };
  const FoundFileRecord* ab = scan_->PathOf(*b[0]) == "A\\" ? b[0] : b[1];
  EXPECT_LT(pos(ab->ObjectId()), pos(a[0]->ObjectId()));

  // Browsing from the root: A (depth 0) holds B, whose children (depth 2) hold deep.txt.
  std::vector<FoundFileRecord> root, inA, inB;
  ASSERT_EQ(scan_->engine->ListChildren(nullptr, 0, root), 0);
  auto byName = [](const std::vector<FoundFileRecord>& v, const std::string& n) {
    for (const auto& r : v)
      if (r.Name() == n) return &r;
    return static_cast<const FoundFileRecord*>(nullptr);
  };
  ASSERT_NE(byName(root, "A"), nullptr);
  ASSERT_EQ(scan_->engine->ListChildren(byName(root, "A"), 1, inA), 0);
  ASSERT_NE(byName(inA, "B"), nullptr);
  ASSERT_EQ(scan_->engine->ListChildren(byName(inA, "B"), 2, inB), 0);
  EXPECT_NE(byName(inB, "deep.txt"), nullptr);
  EXPECT_EQ(scan_->engine->ListChildren(nullptr, 1, inB), kInvalidParameter);

  // A removed folder that kept its directory bit is still a folder.
  const FoundFileRecord* inner = scan_->File("inner.txt");
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(scan_->PathOf(*inner), "Gone\\");
}

TEST_F(NtfsFilesScan, FileWhoseFolderRecordWasReusedShowsUnderALostFolder) {
  const FoundFileRecord* g = scan_->File("g.txt");
  ASSERT_NE(g, nullptr);
  std::string path = scan_->PathOf(*g);
  ASSERT_EQ(path.rfind("LostFolder", 0), 0u) << path;
  uint32_t lostId = uint32_t(std::stoul(path.substr(10)));
  auto lost = scan_->Folders("LostFolder" + std::to_string(lostId));
  ASSERT_EQ(lost.size(), 1u);
  EXPECT_EQ(lost[0]->ObjectId(), lostId);
  EXPECT_EQ(lost[0]->ClusterSize(), 0xFFFFFFFFu);
  std::vector<FoundFileRecord> root;
  scan_->engine->ListChildren(nullptr, 0, root);
  bool atRoot = false;
  for (const auto& r : root) atRoot |= r.IsFolder() && r.ObjectId() == lostId;
  EXPECT_TRUE(atRoot);
}

TEST_F(NtfsFilesScan, LongNamesWinOverDosNames) {
  EXPECT_NE(scan_->File("Long Name Document.txt"), nullptr);
  EXPECT_NE(scan_->File("Second Long Name.txt"), nullptr);
  for (const auto& r : scan_->records) {
    EXPECT_NE(r.Name(), "LONGNA~1.TXT");
    EXPECT_NE(r.Name(), "SECOND~1.TXT");
  }
}

TEST_F(NtfsFilesScan, ContentCheckHidesPicturesThatAreNotPictures) {
  const FoundFileRecord* fake = scan_->File("fake.jpg");
  const FoundFileRecord* photo = scan_->File("photo.jpg");
  const FoundFileRecord* empty = scan_->File("empty.dat");
  const FoundFileRecord* text = scan_->File("resident.txt");
  ASSERT_TRUE(fake && photo && empty && text);
  EXPECT_EQ(fake->ContentCheck(), 0u);
  EXPECT_EQ(photo->ContentCheck(), 1u);
  EXPECT_EQ(empty->ContentCheck(), 0u);  // a resident $DATA of 0 bytes
  EXPECT_EQ(text->ContentCheck(), 1u);
  std::vector<FoundFileRecord> root;
  scan_->engine->ListChildren(nullptr, 0, root);
  for (const auto& r : root) EXPECT_NE(r.Name(), "fake.jpg");
  int count = 0;
  ASSERT_EQ(scan_->engine->CountFiles(nullptr, 0, count), 0);
  EXPECT_EQ(count, 13);
  std::vector<FoundFileRecord> jpgs;
  scan_->engine->SearchByExtension("*.jpg|", jpgs);
  ASSERT_EQ(jpgs.size(), 1u);
  EXPECT_EQ(jpgs[0].Name(), "photo.jpg");
}

// Every file that ntfsundelete lists as fully recoverable is found with the same name and size.
void ExpectNtfsundeleteListingFound(const std::string& image, const ScannedNtfs& scan) {
  if (!test::HaveTool("ntfsundelete")) GTEST_SKIP() << "ntfsundelete missing";
  std::string listing;
  ASSERT_EQ(test::RunCommand("ntfsundelete --scan '" + image + "' 2>/dev/null", &listing), 0);
  std::istringstream lines(listing);
  std::string line;
  int compared = 0;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string inode, flags, percent, date, time, size, name;
    if (!(fields >> inode >> flags >> percent >> date >> time >> size)) continue;
    if (percent != "100%") continue;
    std::getline(fields >> std::ws, name);
    const FoundFileRecord* r = scan.File(name);
    ASSERT_NE(r, nullptr) << name;
    EXPECT_EQ(r->FileSize(), std::stoull(size)) << name;
    EXPECT_EQ(r->ObjectId(), std::stoul(inode)) << name;
    ++compared;
  }
  EXPECT_GT(compared, 1);
}

TEST_F(NtfsFilesScan, AgreesWithNtfsundelete) { ExpectNtfsundeleteListingFound(image_, *scan_); }

TEST(NtfsFourKSectors, ScansAVolumeWith4096ByteSectors) {
  std::string image = test::FixturePath("ntfs-4k-files.img");
  ScannedNtfs scan(image);
  ASSERT_EQ(scan.scanResult, 0);
  EXPECT_EQ(scan.engine->Geometry().bytesPerSector, 4096);
  EXPECT_EQ(scan.engine->Geometry().sectorsPerRecord, 1);
  EXPECT_EQ(scan.engine->Geometry().recordSize, 4096);
  EXPECT_EQ(scan.engine->Geometry().totalSectors, 32u * 1024 * 1024 / 4096);
  const FoundFileRecord* h = scan.File("h.txt");
  const FoundFileRecord* r = scan.File("r.bin");
  ASSERT_TRUE(h && r);
  EXPECT_EQ(scan.PathOf(*r), "Q\\");
  ExpectNtfsundeleteListingFound(image, scan);
}

struct ProgressLog {
  std::vector<int> percents;
  int cancelAt = -1;
  static int Callback(void* user, int percent, int weight, int remaining, uint64_t, uint64_t, uint64_t, int) {
    auto* log = static_cast<ProgressLog*>(user);
    log->percents.push_back(percent);
    EXPECT_EQ(weight, 9);
    EXPECT_EQ(remaining, -1);  // estimates only for a plain fast scan
    return int(log->percents.size()) == log->cancelAt ? kScanCancelled : 0;
  }
};

TEST(NtfsScanProgress, ReportsEachStepAndStopsWhenCancelled) {
  test::ScopedDataDir dir;
  CFastNtfsRecovery engine;
  ASSERT_EQ(engine.OpenImageFile(test::FixturePath("ntfs-files.img"), 0), 0);
  ProgressLog log;
  engine.SetScanCallbacks(&ProgressLog::Callback, nullptr, &log, 9);
  ScanLogCatalogue::Instance().NewSession();
  ASSERT_EQ(engine.Scan(nullptr), 0);
  ASSERT_GE(log.percents.size(), 2u);
  EXPECT_EQ(log.percents.back(), 100);
  EXPECT_TRUE(std::is_sorted(log.percents.begin(), log.percents.end()));

  ProgressLog cancel;
  cancel.cancelAt = 1;
  engine.SetScanCallbacks(&ProgressLog::Callback, nullptr, &cancel, 9);
  EXPECT_EQ(engine.Scan(nullptr), kScanCancelled);
  // What the walk found so far stays; the folder pass did not run.
  EXPECT_GT(engine.GetFoundCount(), 0u);
  for (uint32_t n = 1; n <= engine.Store()->Count(); ++n) {
    FoundFileRecord r;
    ASSERT_EQ(engine.Store()->ReadRecord(n, r), 0);
    EXPECT_FALSE(r.IsFolder() && r.Name().rfind("LostFolder", 0) != 0) << r.Name();
  }
}

TEST(NtfsSavedScan, ReopensTheLogWithoutReadingTheSource) {
  test::ScopedDataDir dir;
  std::string logName;
  {
    CFastNtfsRecovery engine;
    ASSERT_EQ(engine.OpenImageFile(test::FixturePath("ntfs-files.img"), 0), 0);
    ScanLogCatalogue::Instance().NewSession();
    ASSERT_EQ(engine.Scan(nullptr), 0);
    std::string path = engine.Store()->RecordPath();
    logName = path.substr(path.rfind('/') + 1);
    EXPECT_EQ(logName.rfind("Fast_0_", 0), 0u) << logName;
  }
  CFastNtfsRecovery again;
  ASSERT_EQ(again.OpenImageFile(test::FixturePath("ntfs-files.img"), 0), 0);
  ASSERT_EQ(again.Scan(logName.c_str()), 0);
  std::vector<FoundFileRecord> root;
  ASSERT_EQ(again.ListChildren(nullptr, 0, root), 0);
  EXPECT_GT(root.size(), 5u);
}

}  // namespace
}  // namespace salvora
