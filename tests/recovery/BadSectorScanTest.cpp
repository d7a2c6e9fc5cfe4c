// Advanced scans of media with unreadable stretches (the fault-injection double of the platform):
// in the allocation table, in folder clusters, in the MFT and inside carved files. Every scan
// completes and lists what can be read; recovering a file that crosses a bad stretch reports the
// error for that file while the others come back whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "fat/CFastFatRecovery.h"
#include "carving/PlantedImage.h"
#include "platform/ErrorCodes.h"
#include "platform/FaultInjection.h"
#include "platform/ByteView.h"
#include "platform/PlatformError.h"
#include "recovery/CProfessionalRecovery.h"
#include "recovery/EngineFactory.h"
#include "scan/ScanLogCatalogue.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using test::FixturePath;

// path -> record, over the whole tree the engine lists.
using Tree = std::map<std::string, FoundFileRecord>;

void WalkInto(IFileRecoveryParse& engine, const FoundFileRecord* folder, int depth,
              const std::string& prefix, Tree& out) {
  if (depth > 32) return;
  std::vector<FoundFileRecord> children;
  engine.ListChildren(folder, depth, children);
  for (const auto& child : children) {
    std::string path = prefix + std::string(child.Name()) + (child.IsFolder() ? "/" : "");
    out.emplace(path, child);
    if (child.IsFolder()) WalkInto(engine, &child, depth + 1, path, out);
  }
}

Tree WalkTree(IFileRecoveryParse& engine) {
  Tree tree;
  WalkInto(engine, nullptr, 0, "/", tree);
  return tree;
}

// The first listed record whose path ends with suffix.
const FoundFileRecord* Find(const Tree& tree, const std::string& suffix) {
  for (const auto& [path, record] : tree)
    if (path.size() >= suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0)
      return &record;
  return nullptr;
}

// What the engine reported at the end of one recovered file.
struct FileOutcome {
  bool finished = false;
  int error = 0;
};

int OnRecovery(void* user, int percent, int hundred, int error, const char*) {
  auto* outcome = static_cast<FileOutcome*>(user);
  if (percent * hundred / 100 == 100 && !outcome->finished) {
    outcome->finished = true;
    outcome->error = error;
  }
  return 0;
}

// Recovers one record; the result and the error the callback saw for it.
std::pair<int, FileOutcome> Recover(IFileRecoveryParse& engine, const FoundFileRecord& record,
                                    const std::string& destination) {
  FileOutcome outcome;
  engine.SetScanCallbacks(nullptr, OnRecovery, &outcome, 100);
  int rc = engine.RecoverFile(&record, destination, 0);
  engine.SetScanCallbacks(nullptr, nullptr, nullptr, 100);
  return {rc, outcome};
}

bool IsReadError(int code) { return code == kReadFault || code == platform::FromErrno(EIO); }

class BadSectorScanTest : public ::testing::Test {
 protected:
  void SetUp() override { ScanLogCatalogue::Instance().Reload(); }
  void TearDown() override { platform::ClearFaultPlans(); }

  // An advanced scan of the image under the given bad byte ranges.
  std::unique_ptr<IFileRecoveryParse> Scan(const std::string& image,
                                           std::vector<std::pair<uint64_t, uint64_t>> bad) {
    platform::ClearFaultPlans();
    if (!bad.empty()) platform::SetFaultPlan(image, {std::move(bad), 0});
    auto engine = EngineFactory::Instance().CreateForImage(image, 0, true);
    EXPECT_NE(engine, nullptr) << "a bad stretch must not make the source unscannable";
    if (!engine) return engine;
    auto* pro = static_cast<CProfessionalRecovery*>(engine.get());
    if (pro->HasResumeState()) pro->DiscardResumeState();
    EXPECT_EQ(engine->Scan(nullptr), 0);
    return engine;
  }

  test::ScopedDataDir data_;
  test::TempDir dir_;
};

// Layout of a FAT16 volume from its boot sector, in sectors.
struct FatLayout {
  uint64_t reserved = 0, fatSectors = 0, fats = 0, rootSectors = 0;
  uint64_t FirstFat() const { return reserved; }
  uint64_t RootStart() const { return reserved + fats * fatSectors; }
};

FatLayout ReadFatLayout(const std::string& image) {
  auto bytes = test::ReadFileBytes(image);
  ByteView boot(bytes.data(), 512);
  FatLayout l;
  l.reserved = boot.U16(14);
  l.fats = boot.U8(16);
  l.fatSectors = boot.U16(22);
  l.rootSectors = (uint64_t(boot.U16(17)) * 32 + 511) / 512;
  return l;
}

uint64_t FirstSectorOf(const FoundFileRecord& r) {
  return r.PartitionStart() + r.DataAreaStart() + uint64_t(r.ObjectId() - 2) * (r.ClusterSize() / 512);
}

std::pair<uint64_t, uint64_t> Sectors(uint64_t first, uint64_t count) {
  return {first * 512, (first + count) * 512};
}

TEST_F(BadSectorScanTest, FatTableOnBadSectorsFallsBackToItsCopyOrSweepsEverything) {
  const std::string image = FixturePath("fat16-del.img");
  const std::string before = test::Sha256File(image);
  const FatLayout layout = ReadFatLayout(image);
  ASSERT_EQ(layout.fats, 2u);
  auto sound = Scan(image, {});
  Tree clean = WalkTree(*sound);
  ASSERT_NE(Find(clean, "/DCIM/100CAM/Long Holiday Picture.jpg"), nullptr);
  const uint64_t soundSwept = static_cast<CProfessionalRecovery*>(sound.get())->LastPosition().totalSwept;

  // The first table unreadable, the very first sector after the boot sector included: the
  // second table stands in and the listing is the same.
  Tree firstBad = WalkTree(*Scan(image, {Sectors(layout.FirstFat(), layout.fatSectors)}));
  EXPECT_EQ(firstBad.size(), clean.size());
  for (const auto& [path, record] : clean) {
    if (record.EngineKind() != CFastFatRecovery::kRecordKind) continue;
    EXPECT_TRUE(firstBad.count(path)) << path;
  }

  // Both tables gone: the folders are still walked from their first clusters, and with no
  // allocation map the whole volume is swept.
  auto engine = Scan(image, {Sectors(layout.FirstFat(), 2 * layout.fatSectors)});
  Tree bothBad = WalkTree(*engine);
  for (const char* path : {"/_hoto1.jpg", "/name with spaces.jpg", "/DCIM/100CAM/Long Holiday Picture.jpg"})
    EXPECT_TRUE(bothBad.count(path)) << path;
  auto* pro = static_cast<CProfessionalRecovery*>(engine.get());
  EXPECT_GT(pro->LastPosition().totalSwept, soundSwept);
  EXPECT_EQ(test::Sha256File(image), before);
}

TEST_F(BadSectorScanTest, UnreadableFolderClustersCostOnlyTheirOwnEntries) {
  const std::string image = FixturePath("fat16-del.img");
  const FatLayout layout = ReadFatLayout(image);
  Tree clean = WalkTree(*Scan(image, {}));
  const FoundFileRecord* photos = Find(clean, "/_HOTOS/");
  ASSERT_NE(photos, nullptr);

  // A subfolder's cluster: the rest of the tree is listed as before.
  Tree subBad = WalkTree(*Scan(image, {Sectors(FirstSectorOf(*photos), photos->ClusterSize() / 512)}));
  EXPECT_EQ(subBad.count("/_HOTOS/A.JPG"), 0u);
  for (const char* path : {"/_hoto1.jpg", "/VERSIONS/_AME.TXT", "/DCIM/100CAM/Long Holiday Picture.jpg"})
    EXPECT_TRUE(subBad.count(path)) << path;

  // The fixed root folder: its own entries are lost, but the deep scan still finds the folders
  // below it by their own directory sectors.
  Tree rootBad = WalkTree(*Scan(image, {Sectors(layout.RootStart(), layout.rootSectors)}));
  EXPECT_NE(Find(rootBad, "/SUB/C.TXT"), nullptr) << ::testing::PrintToString(rootBad.size());
  EXPECT_NE(Find(rootBad, "/Trip notes.txt"), nullptr);
}

TEST_F(BadSectorScanTest, FatFileAcrossABadStretchFailsAloneWithItsReadError) {
  const std::string image = FixturePath("fat16-del.img");
  Tree clean = WalkTree(*Scan(image, {}));
  const FoundFileRecord* victim = Find(clean, "/DCIM/100CAM/Long Holiday Picture.jpg");
  ASSERT_NE(victim, nullptr);
  ASSERT_GT(victim->FileSize(), 2u * victim->ClusterSize()) << "the stretch must lie inside the file";
  // One sector in the middle of its second cluster is unreadable: the cluster reads in part.
  const uint64_t spc = victim->ClusterSize() / 512;
  ASSERT_GE(spc, 2u);
  auto engine = Scan(image, {Sectors(FirstSectorOf(*victim) + spc + spc / 2, 1)});
  Tree tree = WalkTree(*engine);
  ASSERT_TRUE(tree.count("/DCIM/100CAM/Long Holiday Picture.jpg"));

  auto [rc, outcome] = Recover(*engine, tree.at("/DCIM/100CAM/Long Holiday Picture.jpg"), dir_.File("victim.jpg"));
  EXPECT_TRUE(IsReadError(rc)) << rc;
  EXPECT_TRUE(outcome.finished);
  EXPECT_EQ(outcome.error, rc);

  // Every other file of the fast scan comes back as it does from a sound medium.
  auto sound = Scan(image, {});
  Tree soundTree = WalkTree(*sound);
  int compared = 0;
  for (const auto& [path, record] : tree) {
    if (record.IsFolder() || record.EngineKind() != CFastFatRecovery::kRecordKind ||
        path == "/DCIM/100CAM/Long Holiday Picture.jpg" || !soundTree.count(path))
      continue;
    const std::string name = "f" + std::to_string(compared++);
    auto [got, seen] = Recover(*engine, record, dir_.File(name + ".bad"));
    EXPECT_EQ(got, 0) << path;
    EXPECT_EQ(seen.error, 0) << path;
    ASSERT_EQ(Recover(*sound, soundTree.at(path), dir_.File(name + ".good")).first, 0) << path;
    EXPECT_EQ(test::Sha256File(dir_.File(name + ".bad")), test::Sha256File(dir_.File(name + ".good"))) << path;
  }
  EXPECT_GE(compared, 8);
}

// Sectors of an NTFS volume's MFT record n (512-byte sectors, 1,024-byte records).
std::pair<uint64_t, uint64_t> MftRecords(const std::string& image, uint64_t first, uint64_t count) {
  auto bytes = test::ReadFileBytes(image);
  ByteView boot(bytes.data(), 512);
  const uint64_t cluster = boot.U64(0x30) * boot.U8(13);
  return Sectors(cluster + first * 2, count * 2);
}

// Where the bytes of a file begin in the image.
uint64_t OffsetOf(const std::vector<uint8_t>& image, const std::vector<uint8_t>& file) {
  auto at = std::search(image.begin(), image.end(), file.begin(), file.begin() + std::min<size_t>(file.size(), 4096));
  return at == image.end() ? UINT64_MAX : uint64_t(at - image.begin());
}

TEST_F(BadSectorScanTest, NtfsRecordsOnBadSectorsLeaveTheRestOfTheTable) {
  const std::string image = FixturePath("ntfs-files.img");
  const std::string before = test::Sha256File(image);
  Tree clean = WalkTree(*Scan(image, {}));
  ASSERT_TRUE(clean.count("/A/B/deep.txt")) << ::testing::PrintToString(clean.size());

  // The records of the folders A and A/B (66 and 67, as fls numbers them) and of the table itself.
  for (auto bad : {MftRecords(image, 66, 2), MftRecords(image, 0, 1)}) {
    Tree tree = WalkTree(*Scan(image, {bad}));
    // The file below the unreadable folders is kept under a folder of its parent's number.
    EXPECT_NE(Find(tree, "/deep.txt"), nullptr);
    for (const char* path : {"/big.bin", "/D/x.bin", "/D/B/y.bin", "/Gone/inner.txt"})
      EXPECT_TRUE(tree.count(path)) << path;
  }
  EXPECT_EQ(test::Sha256File(image), before);
}

TEST_F(BadSectorScanTest, NtfsFileAcrossABadStretchFailsAloneWithItsReadError) {
  const std::string image = FixturePath("ntfs-files.img");
  const auto bytes = test::ReadFileBytes(image);
  const auto big = test::ReadFileBytes(FixturePath("ntfs-files.img-src/big.bin"));
  const uint64_t at = OffsetOf(bytes, big);
  ASSERT_NE(at, UINT64_MAX);
  auto engine = Scan(image, {{at + 65536, at + 65536 + 4096}});
  Tree tree = WalkTree(*engine);
  ASSERT_TRUE(tree.count("/big.bin"));
  auto [rc, outcome] = Recover(*engine, tree.at("/big.bin"), dir_.File("big.bin"));
  EXPECT_TRUE(IsReadError(rc)) << rc;
  EXPECT_EQ(outcome.error, rc);

  for (const char* name : {"x.bin", "y.bin", "deep.txt", "photo.jpg", "inner.txt"}) {
    const FoundFileRecord* record = Find(tree, std::string("/") + name);
    ASSERT_NE(record, nullptr) << name;
    auto [got, seen] = Recover(*engine, *record, dir_.File(name));
    EXPECT_EQ(got, 0) << name;
    EXPECT_EQ(seen.error, 0) << name;
    EXPECT_EQ(test::Sha256File(dir_.File(name)), test::Sha256File(FixturePath(std::string("ntfs-files.img-src/") + name)))
        << name;
  }
}

TEST_F(BadSectorScanTest, CarvingReadsOnBehindABadSectorAndFailsOnlyTheFileItCuts) {
  test::PlantedImage image;
  image.Random(300);
  const auto jpg = test::SampleFrom("carve", "jpg");
  const auto bmp = test::SampleFrom("carve", "bmp");
  const auto gif = test::SampleFrom("carve", "gif");
  const auto wav = test::SampleFrom("carve", "wav");
  if (jpg.empty() || bmp.empty() || gif.empty() || wav.empty()) GTEST_SKIP() << "carving samples missing";
  image.Plant("jpg", jpg);
  image.Random(40);
  const uint64_t bmpAt = image.Plant("bmp", bmp).sector;  // cut by the bad stretch
  image.Random(40);
  // A file that starts a few sectors behind a bad sector of the same 64 KiB read.
  image.Random(128 - image.Sectors() % 128 + 60);
  const uint64_t lone = image.Sectors() - 3;
  const uint64_t gifAt = image.Plant("gif", gif).sector;
  image.Random(40);
  image.Plant("wav", wav);
  image.Random(100);
  const std::string path = dir_.File("cut.img");
  image.Write(path);
  const std::string before = test::Sha256File(path);

  auto engine = Scan(path, {Sectors(bmpAt + 20, 4), Sectors(lone, 1)});
  Tree tree = WalkTree(*engine);
  for (uint64_t sector : {bmpAt, gifAt})
    EXPECT_TRUE(Find(tree, "/" + std::to_string(sector) + (sector == bmpAt ? ".bmp" : ".gif")) != nullptr)
        << sector << " among " << tree.size();

  auto [rc, outcome] = Recover(*engine, *Find(tree, "/" + std::to_string(bmpAt) + ".bmp"), dir_.File("cut.bmp"));
  EXPECT_TRUE(IsReadError(rc)) << rc;
  EXPECT_EQ(outcome.error, rc);
  for (const auto& planted : image.Files()) {
    if (planted.sector == bmpAt) continue;
    const FoundFileRecord* record = Find(tree, "/" + std::to_string(planted.sector) + "." + planted.ext);
    ASSERT_NE(record, nullptr) << planted.ext;
    const std::string out = dir_.File("out." + planted.ext);
    auto [got, seen] = Recover(*engine, *record, out);
    EXPECT_EQ(got, 0) << planted.ext;
    EXPECT_EQ(seen.error, 0) << planted.ext;
    auto written = test::ReadFileBytes(out);
    ASSERT_GE(written.size(), planted.bytes.size()) << planted.ext;
    EXPECT_TRUE(std::equal(planted.bytes.begin(), planted.bytes.end(), written.begin())) << planted.ext;
  }
  EXPECT_EQ(test::Sha256File(path), before);
}

TEST_F(BadSectorScanTest, ProbeAreaWithABadSectorStillFindsTheVolume) {
  const std::string image = FixturePath("fat16-del.img");
  platform::SetFaultPlan(image, {{Sectors(4, 1)}, 0});
  ProbeResult probe = EngineFactory::Instance().ProbeImage(image);
  EXPECT_EQ(probe.error, 0);
  EXPECT_EQ(probe.kind, SourceKind::Fat);
  EXPECT_EQ(probe.unreadableBytes, 512u);
  // The boot sector itself unreadable: no file system, but the advanced scan still carves.
  platform::SetFaultPlan(image, {{Sectors(0, 1)}, 0});
  probe = EngineFactory::Instance().ProbeImage(image);
  EXPECT_EQ(probe.error, 0);
  EXPECT_EQ(probe.kind, SourceKind::Unknown);
  EXPECT_EQ(EngineFactory::Instance().CreateForImage(image, 0, false), nullptr);
  // Nothing readable at all: no engine.
  platform::SetFaultPlan(image, {{{0, 1u << 20}}, 0});
  probe = EngineFactory::Instance().ProbeImage(image);
  EXPECT_EQ(probe.error, platform::FromErrno(EIO));
  EXPECT_EQ(EngineFactory::Instance().CreateForImage(image, 0, true), nullptr);
}

}  // namespace
}  // namespace salvora
