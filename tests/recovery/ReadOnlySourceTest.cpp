// The scanned medium is only read: scan, preview, recovery and image creation of an image file
// that nobody may write (mode 0444; root ignores the mode, so what counts is how the file is
// opened and that its bytes stay the same). While each runs, every descriptor this process holds
// on the image is open for reading only.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "recovery/CProfessionalRecovery.h"
#include "recovery/EngineFactory.h"
#include "scan/ScanLogCatalogue.h"
#include "storage/ImageWriter.h"
#include "storage/ScopedDiskMap.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

// Access modes of the descriptors this process holds on path (one entry per descriptor).
std::vector<int> AccessModesOn(const std::string& path) {
  std::vector<int> modes;
  const fs::path target = fs::canonical(path);
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    const fs::path points = fs::read_symlink(entry.path(), ec);
    if (ec || points != target) continue;
    std::ifstream info("/proc/self/fdinfo/" + entry.path().filename().string());
    std::string key;
    while (info >> key) {
      if (key != "flags:") continue;
      std::string octal;
      info >> octal;
      modes.push_back(int(std::stoul(octal, nullptr, 8)) & O_ACCMODE);
      break;
    }
  }
  return modes;
}

int gChecks = 0;

void ExpectOnlyReadOnly(const std::string& path, const char* during) {
  ++gChecks;
  const auto modes = AccessModesOn(path);
  EXPECT_FALSE(modes.empty()) << during << ": the image should be open";
  for (int mode : modes) EXPECT_EQ(mode, O_RDONLY) << during;
}

struct Watch {
  std::string image;
  int calls = 0;
};

int CheckDuringCopy(void* context, const ImageProgress&) {
  auto* watch = static_cast<Watch*>(context);
  if (watch->calls++ == 0) ExpectOnlyReadOnly(watch->image, "image creation");
  return 0;
}

int CheckDuringRecovery(void* context, int, int, int, const char*) {
  auto* watch = static_cast<Watch*>(context);
  if (watch->calls++ == 0) ExpectOnlyReadOnly(watch->image, "recovery");
  return 0;
}

int CheckDuringPreview(void* context, int, int) {
  auto* watch = static_cast<Watch*>(context);
  if (watch->calls++ == 0) ExpectOnlyReadOnly(watch->image, "preview");
  return 0;
}

// Every file below a folder of the engine's tree.
void Files(IFileRecoveryParse& engine, const FoundFileRecord* folder, int depth, std::vector<FoundFileRecord>& out) {
  std::vector<FoundFileRecord> children;
  engine.ListChildren(folder, depth, children);
  for (const auto& c : children) {
    if (c.IsFolder() && depth < 16) Files(engine, &c, depth + 1, out);
    if (!c.IsFolder()) out.push_back(c);
  }
}

TEST(ReadOnlySource, ScanPreviewRecoveryAndImageLeaveAReadOnlyImageAsItWas) {
  for (const char* fixture : {"fat16-del.img", "ntfs-files.img"}) {
    test::ScopedDataDir data;
    test::TempDir dir;
    ScanLogCatalogue::Instance().Reload();
    const std::string image = dir.File("source.img");
    fs::copy_file(test::FixturePath(fixture), image);
    ASSERT_EQ(::chmod(image.c_str(), 0444), 0);
    const std::string before = test::Sha256File(image);
    gChecks = 0;

    auto engine = EngineFactory::Instance().CreateForImage(image, 0, true);
    ASSERT_NE(engine, nullptr) << fixture;
    ASSERT_EQ(engine->Scan(nullptr), 0) << fixture;
    ExpectOnlyReadOnly(image, "scan");

    std::vector<FoundFileRecord> files;
    Files(*engine, nullptr, 0, files);
    ASSERT_GE(files.size(), 5u) << fixture;
    int previewed = 0, recovered = 0;
    for (size_t i = 0; i < files.size(); ++i) {
      const FoundFileRecord& r = files[i];
      if (r.FileSize() == 0) continue;
      Watch preview{image};
      std::string temp;
      std::vector<uint8_t> buffer(4096);
      int size = int(buffer.size());
      if (engine->ReadForPreview(&r, temp, buffer.data(), size, CheckDuringPreview, &preview) == 0) ++previewed;
      Watch recovery{image};
      engine->SetScanCallbacks(nullptr, CheckDuringRecovery, &recovery, 100);
      if (engine->RecoverFile(&r, dir.File("out/" + std::to_string(i)), 0) == 0) ++recovered;
      engine->SetScanCallbacks(nullptr, nullptr, nullptr, 100);
    }
    EXPECT_GE(previewed, 3) << fixture;
    EXPECT_GE(gChecks, 1 + previewed + recovered) << "every preview and recovery was watched";
    EXPECT_GE(recovered, 5) << fixture;

    // The same file as a disk, copied into an image.
    {
      test::ScopedDiskMap map("0=" + image);
      ImageWriter writer;
      Watch copy{image};
      EXPECT_EQ(writer.CreateImage(0, 0, 0, dir.File("copy.img"), CheckDuringCopy, &copy), 0);
      EXPECT_GT(copy.calls, 0);
    }
    EXPECT_EQ(test::Sha256File(dir.File("copy.img")), before);
    engine.reset();
    EXPECT_TRUE(AccessModesOn(image).empty()) << "the engine closes the image";
    EXPECT_EQ(test::Sha256File(image), before) << fixture;
  }
}

// One scan opens its source once: the probe, the file-system engine and every sweep engine read
// through the one reader (it was opened nine times, then five).
TEST(ReadOnlySource, AScanOpensItsSourceOnce) {
  for (const char* fixture : {"fat16-del.img", "ntfs-files.img", "exfat-card.img"}) {
    for (bool advanced : {true, false}) {
      test::ScopedDataDir data;
      ScanLogCatalogue::Instance().Reload();
      const uint64_t before = platform::FileSource::OpenCount();
      auto engine = EngineFactory::Instance().CreateForImage(test::FixturePath(fixture), 0, advanced);
      ASSERT_NE(engine, nullptr) << fixture;
      ASSERT_EQ(engine->Scan(nullptr), 0) << fixture;
      EXPECT_EQ(platform::FileSource::OpenCount() - before, 1u) << fixture << (advanced ? " advanced" : " fast");
    }
  }
}

}  // namespace
}  // namespace salvora
