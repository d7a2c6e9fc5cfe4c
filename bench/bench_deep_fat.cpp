// Deep FAT scan cost per directory sector: a FAT32 volume held in memory with 1,500 folders of
// one 8-sector cluster each (12,000 directory sectors, about 60,000 entries with long names) is
// handed sector by sector to the engine, with and without its boot sector; then the final pass.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "fat/CProfessionalFatRecovery.h"
#include "fatdir/FatDirEntry.h"
#include "fatdir/FatDirectorySector.h"
#include "platform/ByteView.h"
#include "platform/RawSource.h"
#include "scan/ScanLogCatalogue.h"

namespace salvora {
namespace {

constexpr uint32_t kSector = 512;
constexpr uint32_t kSpc = 8;
constexpr uint32_t kDataOffset = 2048;  // 32 reserved + 2 x 1,008
constexpr uint32_t kFolders = 1500;
constexpr uint32_t kFileClusters = 4000;

struct Image {
  std::vector<uint8_t> bytes;
  std::vector<std::pair<uint64_t, bool>> dirSectors;  // address, subdirectory start
};

uint64_t ClusterSector(uint32_t c) { return kDataOffset + uint64_t(c - 2) * kSpc; }

void Put83(uint8_t* e, const char* name11, uint8_t attr, uint32_t cluster, uint32_t size) {
  std::memset(e, 0, 32);
  std::memcpy(e, name11, 11);
  e[11] = attr;
  const uint16_t date = uint16_t((40 << 9) | (6 << 5) | 15), time = uint16_t(12 << 11);
  StoreLe16(e + 14, time);
  StoreLe16(e + 16, date);
  StoreLe16(e + 18, date);
  StoreLe16(e + 20, uint16_t(cluster >> 16));
  StoreLe16(e + 22, time);
  StoreLe16(e + 24, date);
  StoreLe16(e + 26, uint16_t(cluster));
  StoreLe32(e + 28, size);
}

void PutLongPart(uint8_t* e, int seq, bool last, uint8_t sum, const char16_t* text) {
  std::memset(e, 0xFF, 32);
  e[0] = uint8_t(seq | (last ? 0x40 : 0));
  e[11] = 0x0F;
  e[12] = 0;
  e[13] = sum;
  e[26] = e[27] = 0;
  static constexpr int kAt[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
  for (int k = 0; k < 13; ++k) StoreLe16(e + kAt[k], text[k]);
}

Image BuildImage() {
  Image img;
  const uint32_t firstFileCluster = 3 + kFolders;
  const uint64_t sectors = ClusterSector(firstFileCluster + kFileClusters);
  img.bytes.assign(sectors * kSector, 0);
  uint8_t* boot = img.bytes.data();
  StoreLe16(boot + 11, kSector);
  boot[13] = kSpc;
  StoreLe16(boot + 14, 32);
  boot[16] = 2;
  StoreLe32(boot + 32, uint32_t(sectors));
  StoreLe32(boot + 36, 1008);
  StoreLe32(boot + 44, 2);
  std::memcpy(boot + 82, "FAT32   ", 8);
  boot[510] = 0x55;
  boot[511] = 0xAA;

  uint8_t* root = img.bytes.data() + ClusterSector(2) * kSector;
  Put83(root, "BENCHCARD  ", 0x08, 0, 0);
  for (uint32_t k = 0; k < 10; ++k) {
    char name[12];
    std::snprintf(name, sizeof name, "DIR%05u   ", k);
    Put83(root + 32 * (k + 1), name, 0x10, 3 + k, 0);
  }
  img.dirSectors.push_back({ClusterSector(2), false});
  uint32_t fileNo = 0;
  for (uint32_t f = 0; f < kFolders; ++f) {
    const uint32_t cluster = 3 + f;
    // A tree ten folders wide: folder f's parent is folder f / 10 (the root for the first ten).
    const uint32_t parent = f < 10 ? 0 : 3 + f / 10 - 1;
    uint8_t* dir = img.bytes.data() + ClusterSector(cluster) * kSector;
    size_t i = 0;
    Put83(dir + 32 * i++, ".          ", 0x10, cluster, 0);
    Put83(dir + 32 * i++, "..         ", 0x10, parent, 0);
    // Entries of the children folders, then files: each file one 8.3 entry and two long parts.
    for (uint32_t k = 0; k < 10 && (f + 1) * 10 + k < kFolders; ++k) {
      char name[12];
      std::snprintf(name, sizeof name, "DIR%05u   ", (f + 1) * 10 + k);
      Put83(dir + 32 * i++, name, 0x10, 3 + (f + 1) * 10 + k, 0);
    }
    const size_t capacity = kSpc * kSector / 32;
    while (i + 3 <= capacity) {
      char name[12];
      std::snprintf(name, sizeof name, "F%07uBIN", fileNo);
      uint8_t sum = ShortNameChecksum(reinterpret_cast<const uint8_t*>(name));
      char16_t text[26];
      for (int k = 0; k < 26; ++k) text[k] = char16_t(u'a' + (fileNo + k) % 26);
      text[25] = 0;
      PutLongPart(dir + 32 * i++, 2, true, sum, text + 13);
      PutLongPart(dir + 32 * i++, 1, false, sum, text);
      const bool deleted = fileNo % 3 == 0;
      Put83(dir + 32 * i, name, 0x20, firstFileCluster + fileNo % kFileClusters, 1000 + fileNo);
      if (deleted) dir[32 * i] = 0xE5;
      ++i;
      ++fileNo;
    }
    for (uint32_t s = 0; s < kSpc; ++s) {
      const uint64_t address = ClusterSector(cluster) + s;
      const uint8_t* bytes = img.bytes.data() + address * kSector;
      if (IsSubdirectoryStart(bytes, kSector)) img.dirSectors.push_back({address, true});
      else if (IsFatDirectorySector(bytes, kSector)) img.dirSectors.push_back({address, false});
    }
  }
  return img;
}

const Image& TheImage() {
  static const Image image = BuildImage();
  return image;
}

struct DataDir {
  DataDir() {
    path = std::filesystem::temp_directory_path() / ("salvora-bench-deepfat-" + std::to_string(getpid()));
    std::filesystem::create_directories(path);
    setenv("SALVORA_DATA_DIR", path.c_str(), 1);
  }
  ~DataDir() { std::filesystem::remove_all(path); }
  std::filesystem::path path;
};

std::unique_ptr<CProfessionalFatRecovery> Begin(bool withBoot) {
  static DataDir data;
  const Image& img = TheImage();
  std::vector<uint8_t> bytes = img.bytes;
  if (!withBoot) std::memset(bytes.data(), 0, kSector);
  auto engine = std::make_unique<CProfessionalFatRecovery>();
  engine->OpenSource(std::make_unique<platform::MemorySource>(std::move(bytes)), u'E');
  ScanLogCatalogue::Instance().NewSession();
  engine->BeginProScan("");
  engine->ReadBootArea();
  return engine;
}

void Feed(CProfessionalFatRecovery& engine) {
  const Image& img = TheImage();
  for (const auto& [address, start] : img.dirSectors) {
    const uint8_t* bytes = img.bytes.data() + address * kSector;
    if (start) engine.TakeSubdirectoryStart(bytes, address);
    else engine.TakeDirectorySector(bytes, address);
  }
}

void BM_TakeDirectorySectors(benchmark::State& state) {
  const bool withBoot = state.range(0) != 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto engine = Begin(withBoot);
    state.ResumeTiming();
    Feed(*engine);
    state.PauseTiming();
    engine.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(TheImage().dirSectors.size()));
  state.counters["dir_sectors"] = double(TheImage().dirSectors.size());
}
BENCHMARK(BM_TakeDirectorySectors)->Arg(1)->Arg(0)->ArgNames({"boot"})->Unit(benchmark::kMillisecond);

void BM_FinishProScan(benchmark::State& state) {
  const bool withBoot = state.range(0) != 0;
  uint64_t records = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto engine = Begin(withBoot);
    Feed(*engine);
    state.ResumeTiming();
    engine->FinishProScan();
    state.PauseTiming();
    records = engine->GetFoundCount();
    engine.reset();
    state.ResumeTiming();
  }
  state.counters["records"] = double(records);
}
BENCHMARK(BM_FinishProScan)->Arg(1)->Arg(0)->ArgNames({"boot"})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace salvora

BENCHMARK_MAIN();
