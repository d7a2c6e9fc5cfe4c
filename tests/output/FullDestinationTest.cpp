// Recovering into a destination that fills up (a small tmpfs): every file that does not fit is
// reported with its error, through the engine's result and its progress callback, and none of
// them as a success; files that fit are whole.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>

#include "output/OutputFiles.h"
#include "platform/PlatformError.h"
#include "recovery/CProfessionalRecovery.h"
#include "recovery/EngineFactory.h"
#include "scan/ScanLogCatalogue.h"
#include "support/SmallFileSystem.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

const int kNoSpace = platform::FromErrno(ENOSPC);

TEST(FullDestination, OutputFileWriteReportsNoSpace) {
  test::SmallFileSystem small(256 * 1024);
  if (!small.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
  small.FillLeaving(64 * 1024);
  OutputFile out;
  ASSERT_EQ(out.Create(small.path() + "/big.bin"), 0);
  std::vector<uint8_t> data(256 * 1024, 0x5A);
  EXPECT_EQ(out.Write(data.data(), data.size()), kNoSpace);
  out.Close();
}

struct Outcome {
  bool finished = false;
  int error = 0;
};

int OnRecovery(void* user, int percent, int hundred, int error, const char*) {
  auto* o = static_cast<Outcome*>(user);
  if (percent * hundred / 100 == 100 && !o->finished) {
    o->finished = true;
    o->error = error;
  }
  return 0;
}

void CollectFiles(IFileRecoveryParse& engine, const FoundFileRecord* folder, int depth,
                  std::vector<FoundFileRecord>& out) {
  std::vector<FoundFileRecord> children;
  engine.ListChildren(folder, depth, children);
  for (const auto& child : children) {
    if (child.IsFolder()) {
      if (depth < 16) CollectFiles(engine, &child, depth + 1, out);
    } else {
      out.push_back(child);
    }
  }
}

uint64_t SizeOf(const std::string& path) {
  std::error_code ec;
  auto size = std::filesystem::file_size(path, ec);
  return ec ? 0 : uint64_t(size);
}

std::string SanitisedForTest(const FoundFileRecord& r) {
  std::string name(r.Name());
  for (char& c : name)
    if (c == '/' || c == '\\') c = '_';
  return name;
}

// Every file of an advanced scan, recovered once into a sound folder and once into a nearly full
// file system.
void RecoverEverythingInto(const std::string& image, test::SmallFileSystem& small, int& failed,
                           int& succeeded) {
  test::ScopedDataDir data;
  test::TempDir sound;
  ScanLogCatalogue::Instance().Reload();
  auto engine = EngineFactory::Instance().CreateForImage(image, 0, true);
  ASSERT_NE(engine, nullptr);
  ASSERT_EQ(engine->Scan(nullptr), 0);
  std::vector<FoundFileRecord> files;
  CollectFiles(*engine, nullptr, 0, files);
  ASSERT_GE(files.size(), 10u);
  std::map<int, int> kinds;
  for (size_t i = 0; i < files.size(); ++i) {
    const FoundFileRecord& r = files[i];
    const std::string name = std::to_string(i) + "-" + SanitisedForTest(r);
    engine->SetScanCallbacks(nullptr, nullptr, nullptr, 100);
    const int soundRc = engine->RecoverFile(&r, sound.File(name), 0);
    if (soundRc != 0) continue;  // not recoverable anyway (a content the image cut short)
    Outcome o;
    engine->SetScanCallbacks(nullptr, OnRecovery, &o, 100);
    const std::string target = small.path() + "/" + name;
    const int rc = engine->RecoverFile(&r, target, 0);
    engine->SetScanCallbacks(nullptr, nullptr, nullptr, 100);
    if (rc == 0) {
      EXPECT_EQ(o.error, 0) << name;
      EXPECT_EQ(SizeOf(target), SizeOf(sound.File(name))) << name << " reported whole";
      ++succeeded;
    } else {
      EXPECT_EQ(rc, kNoSpace) << name;
      EXPECT_TRUE(o.finished) << name << ": the failure reaches the progress callback";
      EXPECT_EQ(o.error, rc) << name << " was reported as " << o.error;
      ++failed;
      ++kinds[int(r.EngineKind())];
    }
  }
  EXPECT_FALSE(kinds.empty());
}

TEST(FullDestination, EveryEngineReportsTheFilesThatDidNotFit) {
  for (const char* fixture : {"fat16-del.img", "ntfs-files.img"}) {
    test::SmallFileSystem small(1024 * 1024);
    if (!small.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
    // Room for a few small files, not for the larger ones.
    small.FillLeaving(48 * 1024);
    int failed = 0, succeeded = 0;
    RecoverEverythingInto(test::FixturePath(fixture), small, failed, succeeded);
    EXPECT_GT(failed, 0) << fixture;
    EXPECT_GT(succeeded, 0) << fixture;
  }
}

}  // namespace
}  // namespace salvora
