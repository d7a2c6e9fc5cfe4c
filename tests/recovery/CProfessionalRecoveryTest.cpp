#include "recovery/CProfessionalRecovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "recovery/EngineFactory.h"
#include "scan/ScanLogCatalogue.h"
#include "carving/PlantedImage.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using test::FixturePath;

struct Progress {
  std::vector<int> percents;
  std::vector<int> weights;
  int cancelAfterDeepReports = -1;  // cancel at the n-th report of the sweep
  int deepReports = 0;
  uint64_t lastFound = 0;  // found count of the sweep's last report
};

int OnProgress(void* user, int percent, int weight, int, uint64_t, uint64_t, uint64_t found, int) {
  auto* p = static_cast<Progress*>(user);
  p->percents.push_back(percent);
  p->weights.push_back(weight);
  // The closing report of a finished scan counts nothing: only the sweep's reports do.
  if (weight == CProfessionalRecovery::kDeepWeight) p->lastFound = found;
  if (weight == CProfessionalRecovery::kDeepWeight && percent != 100) {
    ++p->deepReports;
    if (p->cancelAfterDeepReports >= 0 && p->deepReports > p->cancelAfterDeepReports) return ScanCancelled;
  }
  return 0;
}

// name -> size of every file at the root of a finished scan and in its folder of carved files.
std::map<std::string, uint64_t> RootListing(IFileRecoveryParse& engine) {
  std::vector<FoundFileRecord> children;
  EXPECT_EQ(engine.ListChildren(nullptr, 0, children), 0);
  std::vector<FoundFileRecord> carved;
  for (const auto& r : children) {
    if (r.IsFolder() && r.Name() == CProfessionalRecovery::kCarvedFolderName) {
      EXPECT_EQ(engine.ListChildren(&r, 1, carved), 0);
    }
  }
  children.insert(children.end(), carved.begin(), carved.end());
  std::map<std::string, uint64_t> out;
  for (const auto& r : children)
    if (!r.IsFolder()) out[std::string(r.Name())] = r.FileSize();
  return out;
}

class CoordinatorTest : public ::testing::Test {
 protected:
  void SetUp() override { ScanLogCatalogue::Instance().Reload(); }
  test::ScopedDataDir data_;
  test::TempDir dir_;
};

// A raw image with no file system: random bytes with real files planted among them.
std::string MakeCarvingImage(const test::TempDir& dir, test::PlantedImage& image) {
  image.Random(300);
  for (const char* ext : {"jpg", "png", "gif", "bmp", "wav", "mp3", "avi"}) {
    auto bytes = test::MediaSample(ext);
    if (bytes.empty()) continue;
    image.Plant(ext, bytes);
    image.Random(200);
  }
  image.Zeros(2000);  // enough chunks for a cancel in the middle
  image.Random(50);
  std::string path = dir.File("nofs.img");
  image.Write(path);
  return path;
}

TEST_F(CoordinatorTest, UnrecognisedImageIsSweptWholeAndCarved) {
  test::PlantedImage image;
  std::string path = MakeCarvingImage(dir_, image);
  std::string before = test::Sha256File(path);

  auto engine = EngineFactory::Instance().CreateForImage(path, 0, true);
  ASSERT_NE(engine, nullptr);
  auto* pro = dynamic_cast<CProfessionalRecovery*>(engine.get());
  ASSERT_NE(pro, nullptr);
  EXPECT_EQ(pro->FastEngine(), nullptr);
  EXPECT_FALSE(pro->HasResumeState());
  Progress progress;
  engine->SetScanCallbacks(OnProgress, nullptr, &progress, 100);
  ASSERT_EQ(engine->Scan(nullptr), 0);

  auto listing = RootListing(*engine);
  for (const auto& planted : image.Files()) {
    std::string name = std::to_string(planted.sector) + "." + planted.ext;
    EXPECT_TRUE(listing.count(name)) << name << " among " << ::testing::PrintToString(listing);
  }
  EXPECT_EQ(engine->GetFoundCount(), listing.size());
  ASSERT_FALSE(progress.percents.empty());
  EXPECT_EQ(progress.percents.back(), 100);
  EXPECT_EQ(progress.weights.back(), 100);
  for (size_t i = 0; i + 1 < progress.percents.size(); ++i) {
    EXPECT_EQ(progress.weights[i], 90);
    EXPECT_GE(progress.percents[i], 10);
    EXPECT_LE(progress.percents[i], 110);
  }

  // The scan is saved with the image's disk number, at the end of its only range.
  const auto& entries = ScanLogCatalogue::Instance().Entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].DiskNumber(), 128u);
  EXPECT_EQ(entries[0].Resume().totalSwept, image.Sectors());
  EXPECT_EQ(test::Sha256File(path), before);
}

TEST_F(CoordinatorTest, CancelledCarvingResumesExactlyWhereItStopped) {
  test::PlantedImage image;
  std::string path = MakeCarvingImage(dir_, image);

  std::map<std::string, uint64_t> uninterrupted;
  {
    auto engine = EngineFactory::Instance().CreateForImage(path, 0, true);
    ASSERT_NE(engine, nullptr);
    ASSERT_EQ(engine->Scan(nullptr), 0);
    uninterrupted = RootListing(*engine);
    static_cast<CProfessionalRecovery*>(engine.get())->DiscardResumeState();
  }
  ScanLogCatalogue::Instance().Reload();
  for (const auto& e : ScanLogCatalogue::Instance().Entries()) ScanLogCatalogue::Instance().RemoveSession(e.SessionFolder());

  uint64_t foundAtCancel = 0, savedOffset = 0;
  {
    auto engine = EngineFactory::Instance().CreateForImage(path, 0, true);
    Progress progress;
    progress.cancelAfterDeepReports = 3;
    engine->SetScanCallbacks(OnProgress, nullptr, &progress, 100);
    ASSERT_EQ(engine->Scan(nullptr), ScanCancelled);
    auto* pro = static_cast<CProfessionalRecovery*>(engine.get());
    savedOffset = pro->LastPosition().rangeSwept;
    foundAtCancel = engine->GetFoundCount();
    EXPECT_GT(savedOffset, 0u);
    EXPECT_LT(savedOffset, image.Sectors());
  }
  ScanLogCatalogue::Instance().Reload();
  auto engine = EngineFactory::Instance().CreateForImage(path, 0, true);
  auto* pro = static_cast<CProfessionalRecovery*>(engine.get());
  ASSERT_TRUE(pro->HasResumeState());
  Progress progress;
  engine->SetScanCallbacks(OnProgress, nullptr, &progress, 100);
  ASSERT_EQ(engine->Scan(nullptr), 0);
  EXPECT_EQ(RootListing(*engine), uninterrupted) << "same names, same sizes as an uninterrupted scan";
  EXPECT_GE(progress.lastFound, foundAtCancel);
}

// After the sweep of a quick-formatted card the deep engines read each photo that lies in pieces
// to place it: a long step that reports (at the sweep's end, no sectors) and stops when told to.
// The cancelled scan stays unfinished; resumed, it places the photos and ends.
struct PlacingProgress {
  int placingReports = 0;
  bool cancel = false;
  static int On(void* user, int percent, int weight, int, uint64_t, uint64_t total, uint64_t, int) {
    auto* p = static_cast<PlacingProgress*>(user);
    if (weight != CProfessionalRecovery::kDeepWeight || percent != 110 || total != 0) return 0;
    ++p->placingReports;
    return p->cancel ? ScanCancelled : 0;
  }
};

TEST_F(CoordinatorTest, PlacingPhotosInPiecesReportsProgressAndStopsWhenCancelled) {
  const std::string path = FixturePath("fragcard-fat32-qf.img");
  const std::string before = test::Sha256File(path);
  {
    auto engine = EngineFactory::Instance().CreateForImage(path, 0, true);
    ASSERT_NE(engine, nullptr);
    PlacingProgress cancelling{0, true};
    engine->SetScanCallbacks(&PlacingProgress::On, nullptr, &cancelling, 100);
    EXPECT_EQ(engine->Scan(nullptr), ScanCancelled);
    EXPECT_GE(cancelling.placingReports, 1);
  }
  ScanLogCatalogue::Instance().Reload();
  auto engine = EngineFactory::Instance().CreateForImage(path, 0, true);
  auto* pro = static_cast<CProfessionalRecovery*>(engine.get());
  ASSERT_TRUE(pro->HasResumeState());
  PlacingProgress counting;
  engine->SetScanCallbacks(&PlacingProgress::On, nullptr, &counting, 100);
  ASSERT_EQ(engine->Scan(nullptr), 0);
  EXPECT_GE(counting.placingReports, 8);  // the photos in pieces, at least
  // A photo in three pieces comes back whole.
  std::vector<FoundFileRecord> found;
  ASSERT_EQ(engine->SearchByExtension("jpg", found), 0);
  const auto photo = test::ReadFileBytes(FixturePath("fragcards/fat32/files/P02.JPG"));
  bool whole = false;
  for (const FoundFileRecord& r : found) {
    if (r.FileSize() != photo.size()) continue;
    const std::string out = dir_.File("p02-" + std::to_string(r.RecordNumber()) + ".jpg");
    whole = whole || (engine->RecoverFile(&r, out, 0) == 0 && test::ReadFileBytes(out) == photo);
  }
  EXPECT_TRUE(whole);
  EXPECT_EQ(test::Sha256File(path), before);
}

// What carving kept of each record it found: its size, its layout (empty for one run), whether
// it holds a verdict, and whether the listing shows it.
struct Carved {
  uint64_t sector = 0, size = 0;
  FileLayout layout;
  bool checked = false, shown = false;
  bool operator==(const Carved& o) const {
    return sector == o.sector && size == o.size && layout == o.layout && shown == o.shown;
  }
};

void PrintTo(const Carved& c, std::ostream* out) {
  *out << c.sector << "+" << c.size << (c.layout.Empty() ? "" : " in pieces") << (c.shown ? " shown" : "");
}

std::vector<Carved> ScanKeepingCarved(const std::string& path, bool verdictsWanted, std::map<std::string, uint64_t>& listing) {
  ScanLogCatalogue::Instance().Reload();
  auto engine = EngineFactory::Instance().CreateForImage(path, 0, true);
  auto* pro = static_cast<CProfessionalRecovery*>(engine.get());
  pro->SetVerdictsWanted(verdictsWanted);
  EXPECT_EQ(engine->Scan(nullptr), 0);
  listing = RootListing(*engine);
  FoundFileRecord any;
  any.SetEngineKind(kFileTypeRecordKind);
  FoundFileStore* store = pro->StoreOf(any);
  std::vector<Carved> carved;
  FoundFileRecord r;
  for (uint32_t n = 1; store && n <= store->TotalRecords(); ++n) {
    if (store->ReadRecord(n, r) != 0) break;
    Carved c;
    c.sector = r.EntrySector();
    c.size = r.FileSize();
    store->FindLayout(r, c.layout);
    const auto verdict = store->VerdictOf(n);
    c.checked = verdict && verdict->checked();
    c.shown = pro->Results().Shows(r);
    carved.push_back(c);
  }
  return carved;
}

// Without verdicts, a photo the file system places (a deleted entry's first cluster and size) is
// not decoded in the sweep; everything else is carved and laid out as with them, so the listing is
// the same: on cards whose deleted photos lie in pieces, between whole ones, and after a quick
// format (no entries: nothing is left undecoded).
TEST_F(CoordinatorTest, WithoutVerdictsOnlyPhotosTheFileSystemPlacesAreLeftUndecoded) {
  for (const char* card : {"fragcard-fat32", "fragcard-exfat", "fragcard-fat32-qf"}) {
    SCOPED_TRACE(card);
    const std::string path = FixturePath(std::string(card) + ".img");
    const std::string before = test::Sha256File(path);
    std::map<std::string, uint64_t> checkedListing, uncheckedListing;
    const auto checked = ScanKeepingCarved(path, true, checkedListing);
    const auto unchecked = ScanKeepingCarved(path, false, uncheckedListing);
    EXPECT_EQ(uncheckedListing, checkedListing);
    ASSERT_EQ(unchecked, checked);
    size_t undecoded = 0;
    for (size_t i = 0; i < unchecked.size(); ++i) {
      if (!checked[i].checked || unchecked[i].checked) continue;
      ++undecoded;
      // Only a file the listing shows through its file-system record goes without its decode.
      EXPECT_FALSE(unchecked[i].shown) << unchecked[i].sector;
      EXPECT_TRUE(unchecked[i].layout.Empty()) << unchecked[i].sector;
    }
    if (std::string(card).find("-qf") != std::string::npos) EXPECT_EQ(undecoded, 0u);
    else EXPECT_GE(undecoded, 1u);
    EXPECT_EQ(test::Sha256File(path), before);
  }
}

TEST_F(CoordinatorTest, ExtSourceHasNoUsableMapAndIsCarvedWhole) {
  auto engine = EngineFactory::Instance().CreateForImage(FixturePath("ext2.img"), 0, true);
  ASSERT_NE(engine, nullptr);
  auto* pro = dynamic_cast<CProfessionalRecovery*>(engine.get());
  ASSERT_NE(pro, nullptr);
  ASSERT_NE(pro->FastEngine(), nullptr);
  ASSERT_EQ(engine->Scan(nullptr), 0);
  EXPECT_EQ(pro->LastPosition().totalSwept, 8u * 1024 * 1024 / 512);
}

TEST_F(CoordinatorTest, AFailedFastScanGivesTheSessionNumberBack) {
  // A FAT volume whose fast scan is cancelled at once: nothing is saved and the number returns.
  auto engine = EngineFactory::Instance().CreateForImage(FixturePath("fat16.img"), 0, true);
  ASSERT_NE(engine, nullptr);
  auto* pro = static_cast<CProfessionalRecovery*>(engine.get());
  if (!pro->FastEngine()) GTEST_SKIP() << "no fast FAT engine in this build";
  uint64_t before = ScanLogCatalogue::Instance().Counter();
  struct { static int Cancel(void*, int, int, int, uint64_t, uint64_t, uint64_t, int) { return ScanCancelled; } } c;
  engine->SetScanCallbacks(&decltype(c)::Cancel, nullptr, nullptr, 100);
  EXPECT_EQ(engine->Scan(nullptr), ScanCancelled);
  EXPECT_FALSE(pro->ScanStarted());
  EXPECT_EQ(ScanLogCatalogue::Instance().Counter(), before);
  EXPECT_TRUE(ScanLogCatalogue::Instance().Entries().empty());
}

TEST_F(CoordinatorTest, NullRecordsAndRootDepthAreRefused) {
  auto engine = EngineFactory::Instance().CreateForImage(FixturePath("zero.img"), 0, true);
  ASSERT_NE(engine, nullptr);
  std::vector<FoundFileRecord> out;
  EXPECT_EQ(engine->ListChildren(nullptr, 1, out), kInvalidParameter);
  int count = 0;
  EXPECT_EQ(engine->CountFiles(nullptr, 2, count), kInvalidParameter);
  std::string path;
  EXPECT_EQ(engine->GetFullPath(nullptr, path, 260), kInvalidParameter);
  EXPECT_EQ(engine->RecoverFile(nullptr, dir_.File("x"), 0), kInvalidParameter);
  int size = 0;
  EXPECT_EQ(engine->ReadForPreview(nullptr, path, nullptr, size, nullptr, nullptr), kInvalidParameter);
  EXPECT_EQ(engine->BuildUsageBitmap(), 0);
  uint64_t a = 5, b = 7;
  EXPECT_EQ(engine->NextUnusedRange(a, b), 0);
  EXPECT_EQ(a, 5u);
}

}  // namespace
}  // namespace salvora
