#include "recovery/EngineFactory.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "fat/FatBootSector.h"
#include "ntfs/NtfsBootSector.h"
#include "platform/PlatformError.h"
#include "ext/CFastExtRecovery.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using test::FixturePath;

std::vector<uint8_t> Probe(const std::string& image) {
  auto bytes = test::ReadFileBytes(image);
  bytes.resize(EngineFactory::kProbeBytes);
  return bytes;
}

SourceKind Classify(const std::vector<uint8_t>& probe) {
  return EngineFactory::Classify(ByteView(probe.data(), probe.size()));
}

TEST(EngineFactory, ClassifiesEveryFixtureVolume) {
  struct Case { const char* image; SourceKind kind; };
  for (Case c : {Case{"fat12.img", SourceKind::Fat}, Case{"fat16.img", SourceKind::Fat},
                 Case{"fat16-root4096.img", SourceKind::Fat}, Case{"fat32.img", SourceKind::Fat},
                 Case{"ntfs.img", SourceKind::Ntfs}, Case{"ntfs-4k.img", SourceKind::Ntfs},
                 Case{"ext2.img", SourceKind::Ext}, Case{"ext4.img", SourceKind::Ext},
                 Case{"exfat-card.img", SourceKind::Exfat},
                 Case{"zero.img", SourceKind::Unknown}, Case{"mbr-disk.img", SourceKind::Unknown}}) {
    auto result = EngineFactory::Instance().ProbeImage(FixturePath(c.image));
    EXPECT_EQ(result.error, 0) << c.image;
    EXPECT_EQ(result.kind, c.kind) << c.image;
  }
}

TEST(EngineFactory, NtfsSectorsPerClusterMustBeAPowerOfTwoUpTo128) {
  auto probe = Probe(FixturePath("ntfs.img"));
  probe[13] = 128;
  EXPECT_EQ(Classify(probe), SourceKind::Ntfs);
  probe[13] = 3;
  EXPECT_NE(Classify(probe), SourceKind::Ntfs);
  probe[13] = 8;
  probe[14] = 1;  // reserved sectors must be 0
  EXPECT_NE(Classify(probe), SourceKind::Ntfs);
  probe[14] = 0;
  probe[511] = 0;
  EXPECT_NE(Classify(probe), SourceKind::Ntfs);
}

TEST(EngineFactory, FatRefusesEncryptedVolumesAndBadParameters) {
  auto probe = Probe(FixturePath("fat32.img"));
  ASSERT_EQ(Classify(probe), SourceKind::Fat);

  auto fve = probe;
  std::memcpy(fve.data() + 3, "-FVE-FS-", 8);
  EXPECT_EQ(Classify(fve), SourceKind::Unknown);

  auto marker = probe;
  std::memset(marker.data() + 480, 0x78, 8);
  std::memset(marker.data() + 488, 0xFF, 19);
  marker[507] = 0x00;
  marker[508] = 0x1F;
  marker[509] = 0x2C;
  EXPECT_EQ(Classify(marker), SourceKind::Unknown);
  marker[509] = 0x2D;  // one byte off the marker: FAT again
  EXPECT_EQ(Classify(marker), SourceKind::Fat);

  auto spc = probe;
  spc[13] = 3;
  EXPECT_EQ(Classify(spc), SourceKind::Unknown);
  spc[13] = 128;
  EXPECT_EQ(Classify(spc), SourceKind::Fat);

  auto bps = probe;
  StoreLe16(bps.data() + 11, 520);
  EXPECT_EQ(Classify(bps), SourceKind::Unknown);
}

TEST(EngineFactory, Fat12And16PassWithoutTheFat32Label) {
  for (const char* image : {"fat12.img", "fat16.img"}) {
    auto probe = Probe(FixturePath(image));
    FatBootSector boot(ByteView(probe.data(), 512));
    EXPECT_FALSE(boot.HasFat32Label()) << image;
    EXPECT_NE(boot.FatSize16(), 0) << image;
    EXPECT_TRUE(boot.IsFat()) << image;
    probe[22] = probe[23] = 0;  // no 16-bit FAT size and no FAT32 label: refused
    EXPECT_FALSE(FatBootSector(ByteView(probe.data(), 512)).IsFat()) << image;
  }
}

TEST(EngineFactory, ExtNeedsConsistentGroupCounts) {
  auto probe = Probe(FixturePath("ext4.img"));
  ASSERT_EQ(Classify(probe), SourceKind::Ext);
  auto bad = probe;
  StoreLe32(bad.data() + 1024 + 40, 1);  // inodes per group 1: group counts disagree
  EXPECT_EQ(Classify(bad), SourceKind::Unknown);
  bad = probe;
  StoreLe32(bad.data() + 1024 + 84, 2);  // first non-reserved inode must exceed 2
  EXPECT_EQ(Classify(bad), SourceKind::Unknown);
}

// What the engines can do besides the interface is handed out, never asked of their class.
TEST(EngineFactory, EnginesHandOutTheirCapabilities) {
  auto& factory = EngineFactory::Instance();
  auto fast = factory.CreateForImage(FixturePath("fat16-del.img"), 0, false);
  ASSERT_NE(fast, nullptr);
  ASSERT_NE(fast->Faces().volume, nullptr);
  EXPECT_TRUE(fast->Faces().volume->Volume().opened);
  EXPECT_EQ(fast->Faces().volume->Volume().sectorSize, 512u);
  EXPECT_NE(fast->Faces().log, nullptr);
  EXPECT_EQ(fast->Faces().saved, nullptr) << "a fast scan keeps no sessions of its own";
  auto advanced = factory.CreateForImage(FixturePath("fat16-del.img"), 0, true);
  ASSERT_NE(advanced, nullptr);
  EXPECT_NE(advanced->Faces().saved, nullptr);
  EXPECT_NE(advanced->Faces().records, nullptr);
}

TEST(EngineFactory, ZeroFilledOrUnreadableSourcesGiveNoFastEngine) {
  auto& factory = EngineFactory::Instance();
  EXPECT_EQ(factory.CreateForImage(FixturePath("zero.img"), 0, false), nullptr);
  EXPECT_EQ(factory.CreateForImage(FixturePath("truncated.img"), 0, false), nullptr)
      << "an image shorter than the probe area gives no engine";
  EXPECT_EQ(factory.CreateForImage(FixturePath("truncated.img"), 0, true), nullptr);
  EXPECT_EQ(factory.CreateForImage("/nonexistent.img", 0, true), nullptr);
  auto missing = factory.ProbeImage("/nonexistent.img");
  EXPECT_TRUE(platform::IsPlatformError(missing.error));
  EXPECT_EQ(factory.ProbeImage(FixturePath("truncated.img")).error, kReadFault);
}

TEST(EngineFactory, ExtSourceScansSuccessfullyAndFindsNothing) {
  auto engine = EngineFactory::Instance().CreateForImage(FixturePath("ext2.img"), 0, false);
  ASSERT_NE(engine, nullptr);
  ASSERT_NE(dynamic_cast<CFastExtRecovery*>(engine.get()), nullptr);
  EXPECT_EQ(engine->Scan(nullptr), 0);
  EXPECT_EQ(engine->GetFoundCount(), 0u);
  EXPECT_EQ(engine->BuildUsageBitmap(), 1);
  std::vector<FoundFileRecord> children;
  EXPECT_EQ(engine->ListChildren(nullptr, 0, children), 0);
  EXPECT_TRUE(children.empty());
}

TEST(EngineFactory, PartitionsOfADiskImageAreProbedThroughTheDiskMap) {
  std::string disk = FixturePath("mbr-disk.img");
  ::setenv("SALVORA_DISK_MAP", ("0=" + disk).c_str(), 1);
  auto& factory = EngineFactory::Instance();
  EXPECT_EQ(factory.ProbeDisk(0, 0).kind, SourceKind::Unknown) << "the MBR itself";
  EXPECT_EQ(factory.ProbeDisk(0, 2048).kind, SourceKind::Fat);
  EXPECT_EQ(factory.ProbeDisk(0, 133120).kind, SourceKind::Ntfs);
  EXPECT_TRUE(platform::IsPlatformError(factory.ProbeDisk(7, 0).error));
  EXPECT_EQ(factory.ProbeDisk(0, 229376).error, kReadFault) << "a start at the end of the disk";
  EXPECT_EQ(factory.CreateForDisk(0, 0, 2048, 0, false), nullptr);
  ::unsetenv("SALVORA_DISK_MAP");
}

}  // namespace
}  // namespace salvora
