#include <gtest/gtest.h>

#include <map>

#include "DeepFatTestSupport.h"
#include "output/OutputFiles.h"
#include "scan/ScanLogCatalogue.h"
#include "support/TestSupport.h"

// The deep scan over a card that was filled with mtools, had files and a folder deleted, and was
// quick-formatted with mkfs.fat: once with the new boot sector, once with boot area and tables
// zeroed as well.
namespace salvora {
namespace {

std::string Original(const std::string& name) {
  return test::FixturePath("deepfat-files") + "/" + name;
}

// What the old card held, as the deep scan must list it: the first-level folders lost their
// entries with the old root, so they show by cluster; everything below has its names.
const std::map<std::string, std::string> kExpectedFiles = {
    {"LostFolder3/100CANON/IMG_0001.JPG", "red.jpg"},
    {"LostFolder3/100CANON/_MG_0002.JPG", "holiday.jpg"},
    {"LostFolder3/100CANON/MVI_0003.MOV", "movie.bin"},
    {"LostFolder3/Summer holiday 2026/Beach at sunset.jpg", "holiday.jpg"},
    {"LostFolder3/Summer holiday 2026/Red sky in the morning.jpg", "red.jpg"},
    {"LostFolder6/README.TXT", "note.txt"},
    {"LostFolder6/OLD/Meeting notes from March.bin", "notes.bin"},
    {"LostFolder8/A long name that straddles.bin", "notes.bin"},
    {"LostFolder8/F01.TXT", "note.txt"},
    {"LostFolder8/F11.TXT", "note.txt"},
    {"LostFolder9/_OST1.TXT", "note.txt"},
    {"LostFolder9/Another lost file.bin", "notes.bin"},
};

// One scan per image serves every test of the suite; the image's hash is taken before the first
// scan and compared after the last test.
struct ScannedCard {
  explicit ScannedCard(const std::string& name) : image(test::FixturePath(name)) {
    before = test::Sha256File(image);
    ScanLogCatalogue::Instance().NewSession();
    openResult = engine.OpenImageFile(image, u'E');
    if (openResult == 0) scanResult = test::DeepFatSweep(engine);
    tree = test::DeepFatTree(engine);
  }
  std::string image, before;
  int openResult = -1, scanResult = -1;
  CProfessionalFatRecovery engine;
  std::vector<test::FoundItem> tree;
};

class DeepFatImage : public ::testing::TestWithParam<const char*> {
 public:
  static void TearDownTestSuite() {
    for (auto& [name, card] : cards_) EXPECT_EQ(test::Sha256File(card->image), card->before) << name;
    cards_.clear();
    data_.reset();
  }

 protected:
  void SetUp() override {
    if (!data_) data_ = std::make_unique<test::ScopedDataDir>();
    auto& card = cards_[GetParam()];
    if (!card) card = std::make_unique<ScannedCard>(GetParam());
    ASSERT_EQ(card->openResult, 0);
    ASSERT_EQ(card->scanResult, 0);
    card_ = card.get();
  }
  CProfessionalFatRecovery& engine() { return card_->engine; }
  const std::vector<test::FoundItem>& tree() { return card_->tree; }

  static inline std::unique_ptr<test::ScopedDataDir> data_;
  static inline std::map<std::string, std::unique_ptr<ScannedCard>> cards_;
  ScannedCard* card_ = nullptr;
};

TEST_P(DeepFatImage, FindsOldFoldersAndFilesWithNamesTreeAndSizes) {
  SCOPED_TRACE(test::DescribeTree(tree()));
  for (const auto& [path, expected] : kExpectedFiles) {
    const test::FoundItem* item = test::FindItem(tree(), path);
    ASSERT_NE(item, nullptr) << path;
    EXPECT_FALSE(item->record.IsFolder());
    EXPECT_EQ(item->record.FileSize(), test::ReadFileBytes(Original(expected)).size()) << path;
    EXPECT_EQ(item->record.EngineKind(), 3u);
    EXPECT_EQ(item->record.DriveLetter(), u'E');
    EXPECT_EQ(item->record.ClusterSize(), 1024u);
  }
  for (const char* folder : {"LostFolder3", "LostFolder3/100CANON", "LostFolder3/Summer holiday 2026",
                             "LostFolder6/OLD", "LostFolder8", "LostFolder9"}) {
    const test::FoundItem* item = test::FindItem(tree(), folder);
    ASSERT_NE(item, nullptr) << folder;
    EXPECT_TRUE(item->record.IsFolder());
  }
  // Deleted entries carry the flag; live ones of the old card do not.
  EXPECT_TRUE(test::FindItem(tree(), "LostFolder3/100CANON/_MG_0002.JPG")->record.IsDeleted());
  EXPECT_FALSE(test::FindItem(tree(), "LostFolder3/100CANON/IMG_0001.JPG")->record.IsDeleted());
  // The new card's empty root is the root, not a lost folder, and nothing is listed twice.
  EXPECT_EQ(test::FindItem(tree(), "LostFolder2"), nullptr);
  std::map<std::string, int> seen;
  for (const auto& item : tree()) EXPECT_EQ(++seen[item.path], 1) << item.path;
  // Random bytes named .mov fail the content check; the pictures pass it.
  EXPECT_EQ(test::FindItem(tree(), "LostFolder3/100CANON/MVI_0003.MOV")->record.ContentCheck(), 0u);
  EXPECT_EQ(test::FindItem(tree(), "LostFolder3/100CANON/IMG_0001.JPG")->record.ContentCheck(), 1u);
}

TEST_P(DeepFatImage, ContiguousFilesRecoverByteIdentical) {
  test::TempDir out;
  for (const auto& [path, expected] : kExpectedFiles) {
    const test::FoundItem* item = test::FindItem(tree(), path);
    ASSERT_NE(item, nullptr) << path;
    const std::string target = out.File(std::to_string(item->record.RecordNumber()));
    ASSERT_EQ(engine().RecoverFile(&item->record, target, 0), 0) << path;
    EXPECT_EQ(test::Sha256File(target), test::Sha256File(Original(expected))) << path;
  }
}

TEST_P(DeepFatImage, FolderRecoveryWritesTheSubtree) {
  test::TempDir out;
  const test::FoundItem* folder = test::FindItem(tree(), "LostFolder3");
  ASSERT_NE(folder, nullptr);
  const std::string target = out.File("LostFolder3");
  ASSERT_EQ(engine().RecoverFile(&folder->record, target, CountSeparators(target) - 1), 0);
  EXPECT_EQ(test::Sha256File(target + "/100CANON/IMG_0001.JPG"), test::Sha256File(Original("red.jpg")));
  EXPECT_EQ(test::Sha256File(target + "/Summer holiday 2026/Beach at sunset.jpg"),
            test::Sha256File(Original("holiday.jpg")));
}

TEST_P(DeepFatImage, PreviewOfAPictureGoesToTheTemporaryFile) {
  const test::FoundItem* item = test::FindItem(tree(), "LostFolder3/100CANON/IMG_0001.JPG");
  ASSERT_NE(item, nullptr);
  std::string temp;
  int size = 0;
  ASSERT_EQ(engine().ReadForPreview(&item->record, temp, nullptr, size, nullptr, nullptr), 0);
  EXPECT_EQ(size, 0);
  EXPECT_EQ(test::Sha256File(temp), test::Sha256File(Original("red.jpg")));

  item = test::FindItem(tree(), "LostFolder6/README.TXT");
  ASSERT_NE(item, nullptr);
  std::vector<uint8_t> buffer(4096);
  size = int(buffer.size());
  ASSERT_EQ(engine().ReadForPreview(&item->record, temp, buffer.data(), size, nullptr, nullptr), 0);
  ASSERT_EQ(size, 16);
  EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 16), "plain text note\n");
}

INSTANTIATE_TEST_SUITE_P(Card, DeepFatImage,
                         ::testing::Values("deepfat-reformatted.img", "deepfat-noboot.img"),
                         [](const auto& info) {
                           return std::string(info.param).find("noboot") != std::string::npos
                                      ? std::string("BootAreaZeroed")
                                      : std::string("QuickFormatted");
                         });

TEST(DeepFatGeometryFromImage, BootSectorAndAnchorsAgreeOnTheLayout) {
  test::ScopedDataDir data;
  ScanLogCatalogue::Instance().NewSession();
  CProfessionalFatRecovery withBoot, without;
  ASSERT_EQ(withBoot.OpenImageFile(test::FixturePath("deepfat-reformatted.img"), 0), 0);
  ASSERT_EQ(without.OpenImageFile(test::FixturePath("deepfat-noboot.img"), 0), 0);
  ASSERT_EQ(withBoot.BeginProScan(""), 0);
  ASSERT_EQ(withBoot.ReadBootArea(), 0);
  ASSERT_TRUE(withBoot.HasBootGeometry());
  ASSERT_EQ(withBoot.Geometries().size(), 1u);
  EXPECT_EQ(withBoot.RootCluster(), 2u);
  ScanLogCatalogue::Instance().NewSession();
  ASSERT_EQ(test::DeepFatSweep(without), 0);
  EXPECT_FALSE(without.HasBootGeometry());
  ASSERT_GE(without.Geometries().size(), 1u);
  EXPECT_EQ(without.Geometries()[0].sectorsPerCluster, withBoot.Geometries()[0].sectorsPerCluster);
  EXPECT_EQ(without.Geometries()[0].dataOffset, withBoot.Geometries()[0].dataOffset);
  EXPECT_EQ(without.Geometries()[0].base, 0u);
}

}  // namespace
}  // namespace salvora

namespace salvora {
namespace {

// A FAT16 volume that was never formatted over: the deep scan finds its root folder's entries
// in the fixed root area (placed with the boot sector's root size) and its folders by name.
TEST(DeepFatFat16, FixedRootAndNamedFolders) {
  test::ScopedDataDir data;
  ScanLogCatalogue::Instance().NewSession();
  CProfessionalFatRecovery engine;
  ASSERT_EQ(engine.OpenImageFile(test::FixturePath("fatdirs-fat16.img"), 0), 0);
  ASSERT_EQ(test::DeepFatSweep(engine), 0);
  EXPECT_EQ(engine.RootCluster(), 0u);
  auto tree = test::DeepFatTree(engine);
  SCOPED_TRACE(test::DescribeTree(tree));
  EXPECT_NE(test::FindItem(tree, "README.TXT"), nullptr);
  EXPECT_NE(test::FindItem(tree, "A rather long file name for testing.bin"), nullptr);
  EXPECT_NE(test::FindItem(tree, "_ODELETE.TXT"), nullptr);
  EXPECT_NE(test::FindItem(tree, "long name that will be deleted.dat"), nullptr);
  EXPECT_NE(test::FindItem(tree, "SUBDIR/file number 1 with a long name.txt"), nullptr);
  EXPECT_NE(test::FindItem(tree, "SUBDIR/file number 7 with a long name.txt"), nullptr);
  // The folder's later clusters are not next to its first: they join it all the same.
  EXPECT_NE(test::FindItem(tree, "SUBDIR/file number 17 with a long name.txt"), nullptr);
  EXPECT_NE(test::FindItem(tree, "SUBDIR/file number 40 with a long name.txt"), nullptr);
  for (const auto& item : tree) EXPECT_EQ(item.path.find("LostFolder"), std::string::npos) << item.path;
  // A name whose opening part is missing would keep its 8.3 form and extension.
  for (const auto& item : tree) {
    if (item.record.IsFolder()) continue;
    EXPECT_NE(item.path.find('.'), std::string::npos) << item.path;
  }
  const test::FoundItem* photos = test::FindItem(tree, "Photos from the summer holiday");
  ASSERT_NE(photos, nullptr);
  EXPECT_TRUE(photos->record.IsFolder());
}

}  // namespace
}  // namespace salvora
