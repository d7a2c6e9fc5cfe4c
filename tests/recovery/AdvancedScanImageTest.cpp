// The advanced scan on real file-system images: what each engine contributes, which stretches are
// swept, the merged search, 4,096-byte-sector NTFS images, and resuming with file systems.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>

#include "ntfs/CProfessionalNtfsRecovery.h"
#include "ntfs/CFastNtfsRecovery.h"
#include "fat/CFastFatRecovery.h"
#include "fat/CProfessionalFatRecovery.h"
#include "recovery/CProfessionalRecovery.h"
#include "recovery/EngineFactory.h"
#include "scan/ScanLogCatalogue.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using test::FixturePath;

struct Found {
  std::string path;  // "/" separated, folders end with "/"
  FoundFileRecord record;
};

void WalkFolder(IFileRecoveryParse& engine, const FoundFileRecord* folder, int depth,
                const std::string& prefix, std::vector<Found>& out) {
  if (depth > 64) return;
  std::vector<FoundFileRecord> children;
  engine.ListChildren(folder, depth, children);
  for (const auto& child : children) {
    std::string path = prefix + std::string(child.Name()) + (child.IsFolder() ? "/" : "");
    out.push_back({path, child});
    if (child.IsFolder()) WalkFolder(engine, &child, depth + 1, path, out);
  }
}

std::vector<Found> Walk(IFileRecoveryParse& engine) {
  std::vector<Found> out;
  WalkFolder(engine, nullptr, 0, "/", out);
  return out;
}

const Found* FindPath(const std::vector<Found>& all, const std::string& path) {
  for (const auto& f : all)
    if (f.path == path) return &f;
  return nullptr;
}

std::vector<const Found*> FindNamed(const std::vector<Found>& all, const std::string& name) {
  std::vector<const Found*> out;
  for (const auto& f : all)
    if (!f.record.IsFolder() && f.record.Name() == name) out.push_back(&f);
  return out;
}

// Where a FAT record's data starts, as the merged search computes it.
uint64_t FatFirstSector(const FoundFileRecord& r, int sectorSize) {
  return r.PartitionStart() + r.DataAreaStart() + (r.ObjectId() - 2) * (r.ClusterSize() / uint32_t(sectorSize));
}

struct SweepReport {
  int percent, weight;
  uint64_t current, total;
};

struct Recorder {
  std::vector<SweepReport> reports;
  int cancelAfter = -1;  // answer "cancelled" at this sweep report (1-based); -1 never
  int sweepReports = 0;
  uint64_t cancelAtSwept = 0;  // or at the first sweep report that has swept this far; 0 never
};

int Record(void* user, int percent, int weight, int, uint64_t current, uint64_t total, uint64_t, int) {
  auto* r = static_cast<Recorder*>(user);
  r->reports.push_back({percent, weight, current, total});
  if (weight != CProfessionalRecovery::kDeepWeight || percent == 100) return 0;
  if (++r->sweepReports == r->cancelAfter) return ScanCancelled;
  return r->cancelAtSwept != 0 && current >= r->cancelAtSwept ? ScanCancelled : 0;
}

// One advanced scan of an image through the factory, as the desktop program starts it.
struct AdvancedScan {
  std::unique_ptr<IFileRecoveryParse> engine;
  CProfessionalRecovery* pro = nullptr;
  Recorder recorder;
  int result = -1;

  explicit AdvancedScan(const std::string& image, int cancelAfter = -1, uint64_t cancelAtSwept = 0) {
    engine = EngineFactory::Instance().CreateForImage(image, u'F', true);
    if (!engine) return;
    pro = dynamic_cast<CProfessionalRecovery*>(engine.get());
    recorder.cancelAfter = cancelAfter;
    recorder.cancelAtSwept = cancelAtSwept;
    engine->SetScanCallbacks(&Record, nullptr, &recorder, 100);
    result = engine->Scan(nullptr);
  }
};

// Free ranges of the fast engine's map, partition-relative, as the sweep plans them.
std::vector<std::pair<uint64_t, uint64_t>> FreeRanges(IFileRecoveryParse& fast) {
  std::vector<std::pair<uint64_t, uint64_t>> ranges;
  uint64_t position = 0;
  for (;;) {
    uint64_t length = 1;
    fast.NextUnusedRange(position, length);
    if (length == 0) break;
    ranges.emplace_back(position, length);
    position += length;
  }
  return ranges;
}

std::map<std::string, uint64_t> ReadManifest(const std::string& path) {
  std::map<std::string, uint64_t> out;
  std::ifstream in(path);
  std::string name;
  uint64_t sector = 0;
  while (in >> name >> sector) {
    out[name] = sector;
    in.ignore(256, '\n');
  }
  return out;
}

class AdvancedScanImage : public ::testing::Test {
 protected:
  void SetUp() override { ScanLogCatalogue::Instance().Reload(); }
  test::ScopedDataDir data_;
  test::TempDir out_;
};

void ExpectRecovers(IFileRecoveryParse& engine, const FoundFileRecord& record,
                    const std::string& original, const test::TempDir& out) {
  std::string path = out.File("recovered-" + std::to_string(record.EngineKind()) + "-" +
                              std::to_string(record.RecordNumber()));
  ASSERT_EQ(engine.RecoverFile(&record, path, 0), 0) << record.Name();
  EXPECT_EQ(test::Sha256File(path), test::Sha256File(original)) << record.Name();
}

TEST_F(AdvancedScanImage, FatCardListsDeletedLostAndCarvedFiles) {
  const std::string image = FixturePath("sweep-card.img");
  const std::string src = FixturePath("sweep-card-src/");
  const std::string before = test::Sha256File(image);
  AdvancedScan scan(image);
  ASSERT_NE(scan.pro, nullptr);
  ASSERT_EQ(scan.result, 0);
  ASSERT_NE(scan.pro->FastEngine(), nullptr);
  EXPECT_EQ(scan.pro->SectorSize(), 512);
  auto all = Walk(*scan.engine);

  // Deleted files in a folder that still exists: the fast FAT engine, with their folders.
  const Found* deleted = FindPath(all, "/DCIM/100CAM/_MG_0002.JPG");
  ASSERT_NE(deleted, nullptr) << "fast FAT find";
  EXPECT_EQ(deleted->record.EngineKind(), CFastFatRecovery::kRecordKind);
  EXPECT_TRUE(deleted->record.IsDeleted());
  ExpectRecovers(*scan.engine, deleted->record, src + "IMG_0002.JPG", out_);
  ASSERT_NE(FindPath(all, "/DCIM/100CAM/_VI_0003.THM"), nullptr);

  // The folder whose parent's directory was overwritten: only the deep engine has it, lost.
  std::vector<const Found*> lost;
  for (const char* name : {"_EACH.JPG", "Sunset over the bay.jpg", "_OTES.TXT"}) {
    auto named = FindNamed(all, name);
    ASSERT_EQ(named.size(), 1u) << name;
    EXPECT_EQ(named[0]->record.EngineKind(), CProfessionalFatRecovery::kRecordKind) << name;
    EXPECT_NE(named[0]->path.find("/LostFolder"), std::string::npos) << named[0]->path;
    lost.push_back(named[0]);
  }
  ExpectRecovers(*scan.engine, lost[1]->record, src + "Sunset over the bay.jpg", out_);

  // Pictures that nothing points at any more: carving only, named by their sectors, in the folder
  // of carved files.
  for (const auto& [name, sector] : ReadManifest(FixturePath("sweep-card.manifest"))) {
    std::string carved = "/Carved files/" + std::to_string(sector) + name.substr(name.rfind('.'));
    const Found* f = FindPath(all, carved);
    ASSERT_NE(f, nullptr) << carved;
    EXPECT_EQ(f->record.EngineKind(), kFileTypeRecordKind);
    ExpectRecovers(*scan.engine, f->record, src + name, out_);
  }

  // Only free space was swept: every carved file starts in a free range, and the live photo
  // (allocated) was never offered to carving.
  auto ranges = FreeRanges(*scan.pro->FastEngine());
  uint64_t freeSectors = 0;
  for (const auto& r : ranges) freeSectors += r.second;
  EXPECT_EQ(scan.pro->LastPosition().totalSwept, freeSectors);
  size_t carved = 0, carvedToo = 0, files = 0;
  for (const auto& f : all) {
    files += f.record.IsFolder() ? 0 : 1;
    carvedToo += f.record.EngineKind() != kFileTypeRecordKind &&
                 (scan.pro->FoundBy(f.record) & EngineBit(kFileTypeRecordKind));
    if (f.record.EngineKind() != kFileTypeRecordKind || f.record.IsFolder()) continue;
    ++carved;
    bool inside = false;
    for (const auto& [start, length] : ranges)
      inside = inside || (f.record.EntrySector() >= start && f.record.EntrySector() < start + length);
    EXPECT_TRUE(inside) << f.path;
  }
  // The five deleted pictures carving found as well are listed once, by their file-system records.
  EXPECT_EQ(carved, 2u) << "the two lost pictures";
  EXPECT_EQ(carvedToo, 5u);
  int counted = 0;
  ASSERT_EQ(scan.engine->CountFiles(nullptr, 0, counted), 0);
  EXPECT_EQ(size_t(counted), files);
  EXPECT_EQ(test::Sha256File(image), before);
}

TEST_F(AdvancedScanImage, SearchListsAPictureThatTwoEnginesFoundOnce) {
  AdvancedScan scan(FixturePath("sweep-card.img"));
  ASSERT_EQ(scan.result, 0);
  auto all = Walk(*scan.engine);
  // The tree lists the FAT record only; the carved file at the same sector is the same file.
  const Found* jpg = FindPath(all, "/DCIM/100CAM/_MG_0002.JPG");
  const Found* thm = FindPath(all, "/DCIM/100CAM/_VI_0003.THM");
  ASSERT_TRUE(jpg && thm);
  const uint64_t jpgSector = FatFirstSector(jpg->record, 512);
  const uint64_t thmSector = FatFirstSector(thm->record, 512);
  EXPECT_EQ(FindPath(all, "/Carved files/" + std::to_string(jpgSector) + ".jpg"), nullptr);
  EXPECT_EQ(FindPath(all, "/Carved files/" + std::to_string(thmSector) + ".jpg"), nullptr);
  EXPECT_NE(scan.pro->FoundBy(jpg->record) & EngineBit(kFileTypeRecordKind), 0u);

  std::vector<FoundFileRecord> found;
  ASSERT_EQ(scan.engine->SearchByExtension("*.jpg|*.thm|*.png|", found), 0);
  std::multiset<std::string> names;
  for (const auto& r : found) names.insert(std::string(r.Name()));
  EXPECT_EQ(names.count("_MG_0002.JPG"), 1u);
  EXPECT_EQ(names.count("_VI_0003.THM"), 1u);
  EXPECT_EQ(names.count(std::to_string(jpgSector) + ".jpg"), 0u) << "same sector, same extension";
  EXPECT_EQ(names.count(std::to_string(thmSector) + ".jpg"), 0u) << "a thumbnail is a JPEG";
  // The lost folder's pictures (deep FAT) hide their carved copies as well; the two pictures
  // only carving found stay.
  EXPECT_EQ(names.count("_EACH.JPG"), 1u);
  EXPECT_EQ(names.count("Sunset over the bay.jpg"), 1u);
  for (const auto& [name, sector] : ReadManifest(FixturePath("sweep-card.manifest")))
    EXPECT_EQ(names.count(std::to_string(sector) + name.substr(name.rfind('.'))), 1u) << name;
  // A picture that the fast and the deep FAT engine both found is listed once.
  EXPECT_EQ(names.count("_ARTY.JPG"), 1u);
  EXPECT_EQ(found.size(), 7u) << ::testing::PrintToString(names);
}

TEST_F(AdvancedScanImage, TwoFreeRangesOfAThousandAndFiveHundredSectors) {
  AdvancedScan scan(FixturePath("sweep-tworanges.img"));
  ASSERT_EQ(scan.result, 0);
  ASSERT_NE(scan.pro->FastEngine(), nullptr);
  auto ranges = FreeRanges(*scan.pro->FastEngine());
  ASSERT_EQ(ranges.size(), 2u);
  EXPECT_EQ(ranges[0].second, 1000u);
  EXPECT_EQ(ranges[1].second, 500u);
  EXPECT_EQ(scan.pro->LastPosition().totalSwept, 1500u);

  std::vector<SweepReport> sweep;
  for (const auto& r : scan.recorder.reports)
    if (r.weight == CProfessionalRecovery::kDeepWeight) sweep.push_back(r);
  ASSERT_GE(sweep.size(), 12u) << "one report per 64 KiB chunk";
  // Measuring the carved picture reads ahead into the allocated clusters after it: those
  // reports must not run past the total either.
  for (const auto& r : sweep) {
    EXPECT_EQ(r.total, 1500u);
    EXPECT_LE(r.current, 1500u);
    EXPECT_GE(r.percent, 10);
    EXPECT_LE(r.percent, 110);
  }
  EXPECT_EQ(sweep.back().percent, 110);
  ASSERT_FALSE(scan.recorder.reports.empty());
  EXPECT_EQ(scan.recorder.reports.back().percent, 100);
  EXPECT_EQ(scan.recorder.reports.back().weight, 100);

  // The picture in free space is carved; the one inside allocated clusters is not looked at.
  auto manifest = ReadManifest(FixturePath("sweep-tworanges.manifest"));
  auto all = Walk(*scan.engine);
  const Found* free = FindPath(all, "/Carved files/" + std::to_string(manifest["free"]) + ".jpg");
  ASSERT_NE(free, nullptr);
  EXPECT_LT(free->record.FileSize(), 4096u);
  EXPECT_EQ(FindPath(all, "/Carved files/" + std::to_string(manifest["used"]) + ".jpg"), nullptr);
}

TEST_F(AdvancedScanImage, ExtVolumeIsSweptWholeAndItsPhotoCarved) {
  const std::string image = FixturePath("sweep-ext.img");
  AdvancedScan scan(image);
  ASSERT_EQ(scan.result, 0);
  ASSERT_NE(scan.pro->FastEngine(), nullptr);
  EXPECT_NE(scan.pro->FastEngine()->BuildUsageBitmap(), 0);
  EXPECT_EQ(scan.pro->LastPosition().totalSwept, 8u * 1024 * 1024 / 512);
  const auto photo = test::ReadFileBytes(FixturePath("sweep-ext-photo.jpg"));
  std::vector<const Found*> jpgs;
  auto all = Walk(*scan.engine);
  for (const auto& f : all)
    if (f.record.EngineKind() == kFileTypeRecordKind && f.record.FileSize() == photo.size())
      jpgs.push_back(&f);
  ASSERT_EQ(jpgs.size(), 1u);
  ExpectRecovers(*scan.engine, jpgs[0]->record, FixturePath("sweep-ext-photo.jpg"), out_);
  const auto& entries = ScanLogCatalogue::Instance().Entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].DiskNumber(), 128u);
}

TEST_F(AdvancedScanImage, FatVolumeWithFourKibSectorsIsSweptInItsOwnSectors) {
  const std::string src = FixturePath("sweep-card-src/");
  AdvancedScan scan(FixturePath("sweep-fat4k.img"));
  ASSERT_EQ(scan.result, 0);
  EXPECT_EQ(scan.pro->SectorSize(), 4096);
  auto all = Walk(*scan.engine);
  const Found* fast = FindPath(all, "/DCIM/_.JPG");
  ASSERT_NE(fast, nullptr);
  ExpectRecovers(*scan.engine, fast->record, src + "IMG_0002.JPG", out_);
  auto deep = FindNamed(all, "_EACH.JPG");
  ASSERT_EQ(deep.size(), 1u);
  EXPECT_EQ(deep[0]->record.EngineKind(), CProfessionalFatRecovery::kRecordKind);
  ExpectRecovers(*scan.engine, deep[0]->record, src + "BEACH.JPG", out_);
  // Both pictures are carved too, at the sectors (of 4,096 bytes) where the FAT engines put them:
  // so the carved copies are the same files and are not listed again.
  std::vector<FoundFileRecord> found;
  ASSERT_EQ(scan.engine->SearchByExtension("*.jpg|", found), 0);
  EXPECT_EQ(found.size(), 2u);
  size_t carved = 0;
  for (const auto& f : all) carved += f.record.EngineKind() == kFileTypeRecordKind ? 1 : 0;
  EXPECT_EQ(carved, 0u);
  EXPECT_NE(scan.pro->FoundBy(fast->record) & EngineBit(kFileTypeRecordKind), 0u);
  EXPECT_NE(scan.pro->FoundBy(deep[0]->record) & EngineBit(kFileTypeRecordKind), 0u);
}

// NTFS volumes formatted over, with 512- and 4,096-byte sectors: the old tree comes back from the
// records in the free space, in the image's own sector size.
struct NtfsCase {
  const char* image;
  const char* sources;
  int sectorSize;
  std::map<std::string, std::string> files;  // found path -> original
};

void PrintTo(const NtfsCase& c, std::ostream* os) { *os << c.image; }

class AdvancedScanNtfs : public AdvancedScanImage, public ::testing::WithParamInterface<NtfsCase> {};

TEST_P(AdvancedScanNtfs, OldTreeFromTheFreeSpaceInTheImagesSectorSize) {
  const NtfsCase& c = GetParam();
  const std::string image = FixturePath(c.image);
  const std::string before = test::Sha256File(image);
  AdvancedScan scan(image);
  ASSERT_NE(scan.pro, nullptr);
  ASSERT_EQ(scan.result, 0);
  ASSERT_NE(scan.pro->FastEngine(), nullptr);
  EXPECT_EQ(scan.pro->SectorSize(), c.sectorSize);
  auto all = Walk(*scan.engine);
  for (const auto& [path, original] : c.files) {
    const Found* f = FindPath(all, path);
    ASSERT_NE(f, nullptr) << path << " among " << all.size() << " records";
    if (f->record.EngineKind() == CProfessionalNtfsRecovery::kRecordKind) {
      EXPECT_EQ(f->record.PartitionStart(), 0u) << path;
    }
    ExpectRecovers(*scan.engine, f->record, FixturePath(std::string(c.sources) + "/" + original), out_);
  }
  for (const auto& f : all) EXPECT_EQ(f.path.find("LostFolder"), std::string::npos) << f.path;

  // The sweep covered the free clusters, counted in the image's sectors.
  uint64_t freeSectors = 0;
  for (const auto& r : FreeRanges(*scan.pro->FastEngine())) freeSectors += r.second;
  EXPECT_EQ(scan.pro->LastPosition().totalSwept, freeSectors);
  const uint64_t imageSectors = test::ReadFileBytes(image).size() / uint64_t(c.sectorSize);
  EXPECT_LT(freeSectors, imageSectors);

  // pic1.jpg is found by the deep engine and by carving at the same sector: one in a search.
  std::vector<FoundFileRecord> found;
  ASSERT_EQ(scan.engine->SearchByExtension("*.jpg|", found), 0);
  const uint64_t picture = test::ReadFileBytes(FixturePath(std::string(c.sources) + "/pic1.jpg")).size();
  size_t pictures = 0;
  for (const auto& r : found) pictures += r.FileSize() == picture ? 1 : 0;
  EXPECT_EQ(pictures, 1u);
  EXPECT_EQ(test::Sha256File(image), before);
}

INSTANTIATE_TEST_SUITE_P(
    Sectors, AdvancedScanNtfs,
    ::testing::Values(
        NtfsCase{"deepntfs-formatted.img", "deepntfs-src", 512,
                 {{"/Docs/Reports/2025/annual.bin", "annual.bin"},
                  {"/Docs/Reports/2025/Old/Older/Oldest/deep.txt", "deep.txt"},
                  {"/Photos/Trip/pic1.jpg", "pic1.jpg"},
                  {"/Photos/Trip/Day2/clip.bin", "clip.bin"}}},
        NtfsCase{"deepntfs4k-formatted.img", "deepntfs4k-src", 4096,
                 {{"/Docs/Reports/annual.bin", "annual.bin"},
                  {"/Docs/Reports/q1.txt", "q1.txt"},
                  {"/Photos/Trip/pic1.jpg", "pic1.jpg"},
                  {"/Photos/Trip/Day2/clip.bin", "clip.bin"}}}),
    [](const auto& info) { return "Bytes" + std::to_string(info.param.sectorSize); });

TEST_F(AdvancedScanImage, FastNtfsResultsOfAFourKibVolumeRecoverThroughTheCoordinator) {
  AdvancedScan scan(FixturePath("ntfs-4k-files.img"));
  ASSERT_EQ(scan.result, 0);
  EXPECT_EQ(scan.pro->SectorSize(), 4096);
  auto all = Walk(*scan.engine);
  const Found* r = FindPath(all, "/Q/r.bin");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->record.EngineKind(), CFastNtfsRecovery::kRecordKind);
  ExpectRecovers(*scan.engine, r->record, FixturePath("ntfs-4k-files.img-src/r.bin"), out_);
  EXPECT_LE(scan.pro->LastPosition().totalSwept, 32u * 1024 * 1024 / 4096);
}

}  // namespace
}  // namespace salvora

namespace salvora {
namespace {

std::multiset<std::string> Listing(const std::vector<Found>& all) {
  std::multiset<std::string> out;
  for (const auto& f : all)
    out.insert(f.path + " " + std::to_string(f.record.FileSize()) + " k" + std::to_string(f.record.EngineKind()));
  return out;
}

// Files by name and size, wherever they are filed.
std::multiset<std::string> FileNames(const std::vector<Found>& all) {
  std::multiset<std::string> out;
  for (const auto& f : all)
    if (!f.record.IsFolder()) out.insert(std::string(f.record.Name()) + " " + std::to_string(f.record.FileSize()));
  return out;
}

// Listed finds a deep engine made (alone, or as well as the fast engine).
size_t DeepRecords(CProfessionalRecovery& pro, const std::vector<Found>& all) {
  size_t n = 0;
  for (const auto& f : all)
    n += (pro.FoundBy(f.record) & (EngineBit(CProfessionalFatRecovery::kRecordKind) | EngineBit(CProfessionalNtfsRecovery::kRecordKind))) != 0;
  return n;
}

class AdvancedScanResume : public AdvancedScanImage, public ::testing::WithParamInterface<const char*> {
 protected:
  void ForgetSavedScans() {
    auto& catalogue = ScanLogCatalogue::Instance();
    catalogue.Reload();
    for (const auto& e : catalogue.Entries()) catalogue.RemoveSession(e.SessionFolder());
    catalogue.Reload();
  }
};

// Cancels the sweep at the first report that leaves some, but not all, of the deep engines'
// records behind the cut, then resumes: what the cancelled scan listed is still listed, and
// every file of an uninterrupted scan is there by name and size.
TEST_P(AdvancedScanResume, EveryRecordFoundBeforeTheCancelIsListedAfterTheResume) {
  const std::string image = FixturePath(GetParam());
  std::vector<Found> whole;
  size_t deepTotal = 0;
  {
    AdvancedScan scan(image);
    ASSERT_EQ(scan.result, 0);
    whole = Walk(*scan.engine);
    deepTotal = DeepRecords(*scan.pro, whole);
  }
  ASSERT_GT(deepTotal, 2u);
  // The latest cut that still leaves deep records after it: a folder met before it and files
  // met after it, where the fixture allows.
  int chosen = 0;
  for (int k = 1; k < 200; ++k) {
    ForgetSavedScans();
    AdvancedScan scan(image, k);
    ASSERT_EQ(scan.result, ScanCancelled) << "the sweep ended before the deep records were all found";
    const size_t deep = DeepRecords(*scan.pro, Walk(*scan.engine));
    if (deep == deepTotal) break;
    if (deep > 0) chosen = k;
  }
  ASSERT_GT(chosen, 0) << "no cut falls among the deep records";
  ForgetSavedScans();
  std::vector<Found> cut;
  uint64_t at = 0;
  {
    AdvancedScan scan(image, chosen);
    ASSERT_EQ(scan.result, ScanCancelled);
    cut = Walk(*scan.engine);
    at = scan.pro->LastPosition().rangeStart + scan.pro->LastPosition().rangeSwept;
  }
  ScanLogCatalogue::Instance().Reload();
  AdvancedScan resumed(image);
  ASSERT_TRUE(resumed.pro->HasResumeState());
  ASSERT_EQ(resumed.result, 0);
  auto after = Walk(*resumed.engine);

  const auto cutListing = Listing(cut), afterListing = Listing(after), wholeListing = Listing(whole);
  for (const auto& s : cutListing) EXPECT_GE(afterListing.count(s), cutListing.count(s)) << s;
  const auto wholeFiles = FileNames(whole), afterFiles = FileNames(after);
  for (const auto& s : wholeFiles) EXPECT_GE(afterFiles.count(s), wholeFiles.count(s)) << s;
  // Folders written before the cut are not written again, and the only change the cut may make
  // is a folder that comes back as a lost one (its entry was met before the cut, its directory
  // after it).
  for (const auto& s : afterListing) {
    EXPECT_LE(afterListing.count(s), std::max<size_t>(1, wholeListing.count(s))) << "listed twice: " << s;
    if (wholeListing.count(s) == 0) {
      EXPECT_NE(s.find("LostFolder"), std::string::npos) << s;
    }
  }
  // What the cut changed, for whoever reads the log.
  std::ostringstream changes;
  for (const auto& s : std::set<std::string>(afterListing.begin(), afterListing.end()))
    if (wholeListing.count(s) < afterListing.count(s))
      changes << "\n  after the resume " << afterListing.count(s) << "x, without the cut "
              << wholeListing.count(s) << "x: " << s;
  for (const auto& s : std::set<std::string>(wholeListing.begin(), wholeListing.end()))
    if (afterListing.count(s) < wholeListing.count(s)) changes << "\n  only without the cut: " << s;
  RecordProperty("cut", std::to_string(at));
  std::cout << GetParam() << ": cut at sector " << at << ", " << cut.size() << " of " << whole.size()
            << " records before it" << changes.str() << "\n";
}

INSTANTIATE_TEST_SUITE_P(Images, AdvancedScanResume,
                         ::testing::Values("sweep-card.img", "deepntfs4k-formatted.img"),
                         [](const auto& info) {
                           std::string name = info.param;
                           name = name.substr(0, name.find('.'));
                           name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                           return name;
                         });

}  // namespace
}  // namespace salvora
