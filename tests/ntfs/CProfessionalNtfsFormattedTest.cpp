#include <gtest/gtest.h>

#include <filesystem>
#include <cstring>
#include <map>

#include "ntfs/CProfessionalNtfsRecovery.h"
#include "DeepNtfsSupport.h"
#include "output/OutputFiles.h"

namespace salvora {
namespace {

using test::DeepScan;
namespace fs = std::filesystem;

constexpr uint64_t kPartitionStart = 4096;

std::string Source(const std::string& name) { return test::FixturePath("deepntfs-src/" + name); }

// Every file of the old volume with the folder path it had.
const std::map<std::string, std::string>& OldFiles() {
  static const std::map<std::string, std::string> files = {
      {"annual.bin", "Docs\\Reports\\2025\\"},
      {"q1.txt", "Docs\\Reports\\2025\\"},
      {"deep.txt", "Docs\\Reports\\2025\\Old\\Older\\Oldest\\"},
      {"pic1.jpg", "Photos\\Trip\\"},
      {"pic2.jpg", "Photos\\Trip\\Day2\\"},
      {"clip.bin", "Photos\\Trip\\Day2\\"},
  };
  return files;
}

void ExpectOldTree(const DeepScan& scan) {
  for (const auto& [name, folder] : OldFiles()) {
    auto found = scan.Named(name, false);
    ASSERT_EQ(found.size(), 1u) << name;
    EXPECT_EQ(scan.PathOf(*found[0]), folder) << name;
    EXPECT_EQ(found[0]->EngineKind(), CProfessionalNtfsRecovery::kRecordKind);
  }
  for (const char* folder : {"Docs", "Reports", "2025", "Old", "Older", "Oldest", "Photos", "Trip", "Day2"})
    EXPECT_EQ(scan.Named(folder, true).size(), 1u) << folder;
}

void ExpectRecoversByteIdentical(DeepScan& scan, const std::vector<std::string>& names) {
  test::TempDir out;
  for (const auto& name : names) {
    auto found = scan.Named(name, false);
    ASSERT_EQ(found.size(), 1u) << name;
    std::string path = out.File(name);
    EXPECT_EQ(scan.engine->RecoverFile(found[0], path, 0), 0) << name;
    EXPECT_EQ(test::Sha256File(path), test::Sha256File(Source(name))) << name;
  }
}

TEST(DeepNtfsFormatted, OldFilesComeBackWithTheirFoldersAfterAQuickFormat) {
  std::string image = test::FixturePath("deepntfs-formatted.img");
  std::string before = test::Sha256File(image);
  DeepScan scan(image);
  ASSERT_EQ(scan.openResult, 0);
  EXPECT_EQ(scan.folderResult, 0);
  ExpectOldTree(scan);
  // The new volume's file is found too, in use as it is, at the root.
  auto fresh = scan.Named("new.txt", false);
  ASSERT_EQ(fresh.size(), 1u);
  EXPECT_EQ(scan.PathOf(*fresh[0]), "");
  EXPECT_EQ(scan.engine->ClusterEstimate(), 8u);
  for (const auto& r : scan.records) {
    EXPECT_NE(r.Name(), "$MFT");
    if (!r.IsFolder()) {
      EXPECT_EQ(r.PartitionStart(), 0u) << r.Name();
    }
  }
  // The folder below the root holds its deleted subtree.
  auto docs = scan.Named("Docs", true);
  ASSERT_EQ(docs.size(), 1u);
  int count = 0;
  EXPECT_EQ(scan.engine->CountFiles(docs[0], 1, count), 0);
  EXPECT_EQ(count, 3);
  ExpectRecoversByteIdentical(scan, {"annual.bin", "q1.txt", "deep.txt", "pic1.jpg", "pic2.jpg",
                                     "clip.bin", "new.txt"});
  EXPECT_EQ(test::Sha256File(image), before);
}

TEST(DeepNtfsFormatted, TheParentCacheChangesNoResult) {
  std::string image = test::FixturePath("deepntfs-disk.img");
  DeepScan cached(image);
  DeepScan uncached(image, false);
  uncached.engine->SetParentCacheEnabled(false);
  uncached.Sweep(image);
  ASSERT_EQ(cached.records.size(), uncached.records.size());
  for (size_t i = 0; i < cached.records.size(); ++i)
    EXPECT_EQ(0, std::memcmp(cached.records[i].bytes(), uncached.records[i].bytes(), FoundFileRecord::kSize))
        << cached.records[i].Name();
  EXPECT_EQ(cached.recordResults, uncached.recordResults);
  EXPECT_EQ(cached.folderResult, uncached.folderResult);
}

TEST(DeepNtfsFormatted, FolderRecoveryWritesTheWholeOldTree) {
  DeepScan scan(test::FixturePath("deepntfs-formatted.img"));
  auto docs = scan.Named("Docs", true);
  ASSERT_EQ(docs.size(), 1u);
  test::TempDir out;
  std::string destination = out.File("Docs");
  // Docs sits at depth 0: its children are listed at depth 1.
  EXPECT_EQ(scan.engine->RecoverFile(docs[0], destination, CountSeparators(destination) - 1), 0);
  EXPECT_EQ(test::Sha256File(destination + "/Reports/2025/annual.bin"), test::Sha256File(Source("annual.bin")));
  EXPECT_EQ(test::Sha256File(destination + "/Reports/2025/Old/Older/Oldest/deep.txt"),
            test::Sha256File(Source("deep.txt")));
}

TEST(DeepNtfsFormatted, PreviewReadsAPictureIntoTheTempFile) {
  DeepScan scan(test::FixturePath("deepntfs-formatted.img"));
  auto pic = scan.Named("pic1.jpg", false);
  ASSERT_EQ(pic.size(), 1u);
  EXPECT_EQ(pic[0]->ContentCheck(), 1u);
  std::string temp;
  uint8_t buffer[16];
  int size = sizeof buffer;
  EXPECT_EQ(scan.engine->ReadForPreview(pic[0], temp, buffer, size, nullptr, nullptr), 0);
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(test::Sha256File(temp), test::Sha256File(Source("pic1.jpg")));
  auto text = scan.Named("deep.txt", false);
  ASSERT_EQ(text.size(), 1u);
  size = sizeof buffer;
  EXPECT_EQ(scan.engine->ReadForPreview(text[0], temp, buffer, size, nullptr, nullptr), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size_t(size)), "six folders down");
}

TEST(DeepNtfsPartitioned, MappedTablePlacesTheVolumeInsideTheDisk) {
  std::string image = test::FixturePath("deepntfs-disk.img");
  std::string before = test::Sha256File(image);
  DeepScan scan(image);
  ASSERT_EQ(scan.openResult, 0);
  ExpectOldTree(scan);
  // Every record lies in or right after the table of the $MFT record met first.
  ASSERT_GE(scan.engine->Tables().Tables().size(), 1u);
  for (const auto& r : scan.records)
    if (!r.IsFolder()) {
      EXPECT_EQ(r.PartitionStart(), kPartitionStart) << r.Name();
    }
  for (const auto& f : scan.engine->Folders()) EXPECT_EQ(f.volumeStart, kPartitionStart);
  ExpectRecoversByteIdentical(scan, {"annual.bin", "pic2.jpg", "clip.bin", "new.txt"});
  EXPECT_EQ(test::Sha256File(image), before);
}

TEST(DeepNtfsPartitioned, WithoutTheMftRecordTheContiguousTableStillFindsTheParents) {
  DeepScan scan(test::FixturePath("deepntfs-disk-nomft.img"));
  ASSERT_EQ(scan.openResult, 0);
  ExpectOldTree(scan);
  for (const auto& f : scan.engine->Folders()) {
    EXPECT_TRUE(f.layout.contiguous) << f.record;
    EXPECT_EQ(f.layout.contiguousStart, kPartitionStart + 32);
  }
}

}  // namespace
}  // namespace salvora
