// A file system that exists only here, registered in the engine table by one line, goes through
// the real advanced scan: probed, scanned by its fast engine, swept by its deep one, merged,
// resumed after a cancel or a kill, and recovered. Nothing outside this file knows it.
//
// Its volumes: sector 0 holds "TOYFS001", an entry count (u32 at 8) and 32-byte entries from 16
// (name[24], u32 first sector, u32 size); a lost directory is a sector starting "TOYDIR01" with
// the same count and entries.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <map>
#include <set>

#include "platform/ByteView.h"
#include "platform/Clock.h"
#include "recovery/EngineFactory.h"
#include "recovery/EngineTable.h"
#include "recovery/SavedScan.h"
#include "scan/ScanCheckpoint.h"
#include "scan/ScanLogCatalogue.h"
#include "scan/ScanLogName.h"
#include "scan/StoredFindsEngine.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

constexpr size_t kSector = 512;
constexpr uint32_t kFastKind = 20;
constexpr uint32_t kDeepKind = 21;
constexpr SweptKind kToyDirectory = 100;
constexpr char kVolumeMagic[] = "TOYFS001";
constexpr char kDirectoryMagic[] = "TOYDIR01";
constexpr size_t kEntryBytes = 32;

bool StartsWith(ByteView bytes, const char* magic) {
  return bytes.size() >= kSector && std::memcmp(bytes.data(), magic, 8) == 0;
}

// Both engines: entries of a volume or directory sector become records, copied from their sectors.
class ToyEngine : public StoredFindsEngine, public IScanLog, public IOpensShared {
 public:
  explicit ToyEngine(uint32_t kind) : kind_(kind) {
    faces_.log = this;
    faces_.shared = this;
  }
  int OpenImageFile(const std::string&, char16_t) override { return kInvalidParameter; }
  int OpenDiskPartition(int, uint64_t, uint64_t, char16_t) override { return kInvalidParameter; }
  int OpenShared(const SharedSource& source) override {
    reader_.Share(*source.reader);
    return 0;
  }
  int Scan(const char* saved) override {
    NewStore();
    if (saved) return store_->OpenLog(saved);
    if (int rc = store_->OpenLog(MakeScanLogName(kind_ == kFastKind ? kFastLogPrefix : "Pro_Toy_", 0)); rc != 0)
      return rc;
    std::vector<uint8_t> sector(kSector);
    uint32_t got = 0;
    if (reader_.ReadSectors(sector.data(), 1, 0, int(kSector), got) != 0) return kReadFault;
    return TakeEntries(ByteView(sector.data(), sector.size()));
  }
  int RecoverFile(const FoundFileRecord* record, const std::string& destination, int) override {
    if (!record) return kInvalidParameter;
    std::vector<uint8_t> data((record->FileSize() + kSector - 1) / kSector * kSector);
    uint32_t got = 0;
    const uint64_t first = record->ObjectId() - 2;
    if (reader_.ReadSectors(data.data(), uint32_t(data.size() / kSector), first, int(kSector), got) != 0)
      return kReadFault;
    std::ofstream(destination, std::ios::binary).write(reinterpret_cast<const char*>(data.data()),
                                                       std::streamsize(record->FileSize()));
    return 0;
  }
  int NextUnusedRange(uint64_t&, uint64_t&) override { return 0; }
  int BuildUsageBitmap() override { return kInvalidParameter; }  // no map: the whole volume is swept
  int ReadForPreview(const FoundFileRecord*, std::string&, uint8_t*, int& size, PreviewProgressCallback,
                     void*) override {
    size = 0;
    return 0;
  }
  FoundFileStore* Store() noexcept override { return store_.get(); }

 protected:
  // Records of the entries after a magic; they point at their data as cluster records do.
  int TakeEntries(ByteView sector) {
    const uint32_t count = std::min<uint32_t>(sector.U32(8), (kSector - 16) / kEntryBytes);
    for (uint32_t i = 0; i < count; ++i) {
      const size_t at = 16 + i * kEntryBytes;
      const uint8_t* entry = sector.data() + at;
      FoundFileRecord record;
      record.SetEngineKind(kind_);
      record.SetName(std::string(reinterpret_cast<const char*>(entry), strnlen(reinterpret_cast<const char*>(entry), 24)));
      record.SetObjectId(sector.U32(at + 24) + 2);
      record.SetFileSize(sector.U32(at + 28));
      record.SetClusterSize(uint32_t(kSector));
      if (int rc = store_->StoreRecord(record, 0, 0, false); rc != 0) return rc;
    }
    return 0;
  }

  uint32_t kind_;
  SectorReader reader_;
};

class ToySweep : public ToyEngine, public ISweepEngine {
 public:
  ToySweep() : ToyEngine(kDeepKind) { faces_.sweep = this; }
  FoundFileStore* Store() noexcept override { return store_.get(); }
  int Scan(const char*) override { return 0; }
  int AttachSource(const SharedSource& source) override { return OpenShared(source); }
  int BeginSweep(const std::string& logName) override {
    NewStore();
    return store_->OpenLog(logName.empty() ? MakeScanLogName("Pro_Toy_", 0) : logName);
  }
  int OfferSector(const SweptSector& sector, const SweepPosition&, uint64_t&) override {
    return sector.kind == kToyDirectory ? TakeEntries(ByteView(sector.bytes, sector.length)) : 0;
  }
  int FinishSweep() override { return store_ ? store_->Sync() : 0; }
};

const EngineEntry kToy{
    .name = "toy",
    .title = "ToyFS",
    .recognises = [](ByteView probe) { return StartsWith(probe, kVolumeMagic); },
    .makeFast = []() -> std::unique_ptr<IFileRecoveryParse> { return std::make_unique<ToyEngine>(kFastKind); },
    .makeSweep = []() -> std::unique_ptr<IFileRecoveryParse> { return std::make_unique<ToySweep>(); },
    .claims = [](ByteView available, size_t) { return StartsWith(available, kDirectoryMagic) ? kToyDirectory : kUnclaimed; },
    .sweptKinds = {kToyDirectory},
    .fastKind = kFastKind,
    .sweepKind = kDeepKind,
    .sweepLogPrefix = "Pro_Toy_",
    .clusterRecords = true};

// The image: the volume lists a.txt; a lost directory in the first chunk lists a.txt again and
// b.bin, one in the fourth chunk lists c.bin.
std::string MakeToyImage(const test::TempDir& dir) {
  std::vector<uint8_t> image(1024 * kSector, 0);
  auto put = [&](size_t sector, const char* magic, std::vector<std::tuple<const char*, uint32_t, uint32_t>> entries) {
    uint8_t* s = image.data() + sector * kSector;
    std::memcpy(s, magic, 8);
    StoreLe32(s + 8, uint32_t(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
      auto [name, first, size] = entries[i];
      std::memcpy(s + 16 + i * kEntryBytes, name, std::strlen(name));
      StoreLe32(s + 16 + i * kEntryBytes + 24, first);
      StoreLe32(s + 16 + i * kEntryBytes + 28, size);
    }
  };
  put(0, kVolumeMagic, {{"a.txt", 10, 600}});
  put(100, kDirectoryMagic, {{"a.txt", 10, 600}, {"b.bin", 20, 700}});
  put(400, kDirectoryMagic, {{"c.bin", 30, 800}});
  for (size_t i = 0; i < 800; ++i) image[30 * kSector + i] = uint8_t('c' + i % 7);
  const std::string path = dir.File("toy.img");
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
  return path;
}

int CancelAfterFirstChunk(void*, int, int weight, int, uint64_t swept, uint64_t, uint64_t, int) {
  return weight == 90 && swept >= 128 && swept < 512 ? ScanCancelled : 0;
}

std::map<std::string, uint32_t> Root(IFileRecoveryParse& engine) {
  std::vector<FoundFileRecord> children;
  engine.ListChildren(nullptr, 0, children);
  std::map<std::string, uint32_t> kinds;
  for (const auto& r : children)
    if (!r.IsFolder()) kinds[std::string(r.Name())] = r.EngineKind();
  return kinds;
}

TEST(RegisteredEngine, AFileSystemOfOneEntryGoesThroughTheWholeAdvancedScan) {
  RegisterEngine(kToy);
  test::ScopedDataDir data;
  test::TempDir dir;
  ScanLogCatalogue::Instance().Reload();
  const std::string path = MakeToyImage(dir);
  const std::string before = test::Sha256File(path);
  auto& factory = EngineFactory::Instance();
  EXPECT_EQ(factory.ProbeImage(path).engine, &kToy);
  {
    auto engine = factory.CreateForImage(path, 0, true);
    ASSERT_NE(engine, nullptr);
    engine->SetScanCallbacks(CancelAfterFirstChunk, nullptr, nullptr, 100);
    ASSERT_EQ(engine->Scan(nullptr), ScanCancelled);
    EXPECT_EQ(Root(*engine), (std::map<std::string, uint32_t>{{"a.txt", kFastKind}, {"b.bin", kDeepKind}}));
  }
  ScanLogCatalogue::Instance().Reload();
  auto engine = factory.CreateForImage(path, 0, true);
  ASSERT_NE(engine, nullptr);
  ASSERT_TRUE(SavedScanOf(*engine).resumable);
  ASSERT_EQ(engine->Scan(nullptr), 0);
  // a.txt once, as the fast engine found it, and known to the deep one too.
  const auto root = Root(*engine);
  EXPECT_EQ(root, (std::map<std::string, uint32_t>{{"a.txt", kFastKind}, {"b.bin", kDeepKind}, {"c.bin", kDeepKind}}));
  std::vector<FoundFileRecord> children;
  engine->ListChildren(nullptr, 0, children);
  for (const auto& r : children) {
    if (r.Name() == "a.txt") {
      EXPECT_EQ(engine->Faces().records->FoundBy(r), EngineBit(kFastKind) | EngineBit(kDeepKind));
    }
    if (r.Name() != "c.bin") continue;
    ASSERT_EQ(engine->RecoverFile(&r, dir.File("c.out"), 0), 0);
    const auto bytes = test::ReadFileBytes(dir.File("c.out"));
    ASSERT_EQ(bytes.size(), 800u);
    EXPECT_EQ(bytes[799], uint8_t('c' + 799 % 7));
  }
  EXPECT_EQ(RecordKindName(kDeepKind), "deep-toy");
  engine.reset();
  EXPECT_EQ(test::Sha256File(path), before);
  UnregisterEngine(kToy);
}

// Time stands still until the kill plan moves it past the checkpoint interval.
struct StillClock : platform::Clock {
  uint64_t ms = 1000000;
  uint64_t TickMs() override { return ms; }
  platform::LocalTime Now() override { return {2026, 12, 7, 9, 5, 0, 0}; }
};

struct KillPlan {
  StillClock clock;
  IFileRecoveryParse* engine = nullptr;
};

// A checkpoint after the first chunk (its lost directory taken), then, once the directory of the
// fourth chunk is in the log too, the end of the process without a destructor, as SIGKILL.
int KillAfterFourthChunk(void* user, int percent, int weight, int, uint64_t swept, uint64_t, uint64_t, int) {
  auto* plan = static_cast<KillPlan*>(user);
  if (weight != 90 || percent == 100) return 0;
  if (swept >= 128 && plan->clock.ms == 1000000) plan->clock.ms += 31000;
  if (swept >= 512) {
    std::vector<FoundFileRecord> flushed;
    plan->engine->ListChildren(nullptr, 0, flushed);
    ::_exit(0);
  }
  return 0;
}

std::multiset<std::string> Names(IFileRecoveryParse& engine) {
  std::vector<FoundFileRecord> children;
  engine.ListChildren(nullptr, 0, children);
  std::multiset<std::string> names;
  for (const auto& r : children)
    if (!r.IsFolder()) names.insert(std::string(r.Name()));
  return names;
}

// Killed after a checkpoint, the new engine's log is cut back like the built-in ones': what its
// sweep engine wrote after the checkpoint is found again once, not twice.
TEST(RegisteredEngine, ItsLogIsCutBackWhenAKilledScanResumes) {
  RegisterEngine(kToy);
  test::ScopedDataDir data;
  test::TempDir dir;
  ScanLogCatalogue::Instance().Reload();
  const std::string path = MakeToyImage(dir);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    KillPlan plan;
    platform::SetClock(&plan.clock);
    auto engine = EngineFactory::Instance().CreateForImage(path, 0, true);
    if (!engine) ::_exit(2);
    plan.engine = engine.get();
    engine->SetScanCallbacks(KillAfterFourthChunk, nullptr, &plan, 100);
    engine->Scan(nullptr);
    ::_exit(3);  // the sweep ended before the kill
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

  ScanLogCatalogue::Instance().Reload();
  ASSERT_EQ(ScanLogCatalogue::Instance().Entries().size(), 1u);
  ScanCheckpoint checkpoint;
  ASSERT_EQ(checkpoint.Read(ScanLogCatalogue::Instance().Entries()[0].SessionFolder()), 0);
  EXPECT_EQ(checkpoint.ResumeRecords("Pro_Toy_"), 0u) << "its finds were still in memory";
  auto engine = EngineFactory::Instance().CreateForImage(path, 0, true);
  ASSERT_NE(engine, nullptr);
  ASSERT_TRUE(SavedScanOf(*engine).resumable);
  ASSERT_EQ(engine->Scan(nullptr), 0);
  EXPECT_EQ(Names(*engine), (std::multiset<std::string>{"a.txt", "b.bin", "c.bin"}));
  engine.reset();
  UnregisterEngine(kToy);
}

}  // namespace
}  // namespace salvora
