// IdentifySector on every swept sector: random sectors, zero sectors, and a real mix (first sectors
// of the media fixtures, FAT folder sectors, random and zero sectors). Also the table-order
// reference it must agree with, and IsMetadataSector, which the size rules call as often.
// Run: build/default/bench/bench_identify_sector [--benchmark_filter=...]
// The mix reads build/default/fixtures (media/ and fatdirs-fat16.img) when it is there;
// SALVORA_FIXTURE_DIR names another fixture folder.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "carving/MeasureContext.h"
#include "carving/SignatureScanner.h"
#include "fatdir/FatDirectorySector.h"
#include "platform/RawSource.h"
#include "storage/SectorReader.h"

namespace {
using namespace salvora;

constexpr size_t kSector = 512;
constexpr size_t kPoolSectors = 8192;  // 4 MiB: more than the caches, like a swept chunk stream

std::vector<uint8_t> RandomPool(uint32_t seed) {
  std::mt19937_64 rng(seed);
  std::vector<uint8_t> pool(kPoolSectors * kSector);
  for (size_t i = 0; i < pool.size(); i += 8) {
    const uint64_t v = rng();
    for (size_t k = 0; k < 8; ++k) pool[i + k] = uint8_t(v >> (8 * k));
  }
  return pool;
}

std::string FixtureDir() {
  if (const char* dir = std::getenv("SALVORA_FIXTURE_DIR")) return dir;
  return "build/default/fixtures";
}

// The folder sectors of the directory-test volume, when it is there.
std::vector<std::vector<uint8_t>> FolderSectors() {
  std::ifstream in(FixtureDir() + "/fatdirs-fat16.img", std::ios::binary);
  std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)), {});
  std::vector<std::vector<uint8_t>> sectors;
  for (size_t at = 0; at + kSector <= image.size(); at += kSector)
    if (IsFatDirectorySector(image.data() + at, kSector))
      sectors.emplace_back(image.begin() + long(at), image.begin() + long(at + kSector));
  return sectors;
}

// A quarter random, a quarter zero, a quarter first sectors of real files, and a quarter other
// sectors of those files with a FAT folder sector now and then, in a shuffled order.
std::vector<uint8_t> MixedPool() {
  std::vector<std::vector<uint8_t>> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(FixtureDir() + "/media", ec)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    bytes.resize(((bytes.size() + kSector - 1) / kSector) * kSector, 0);
    if (!bytes.empty()) files.push_back(std::move(bytes));
  }
  const auto folders = FolderSectors();
  std::mt19937 rng(7);
  std::vector<uint8_t> random = RandomPool(11);
  std::vector<uint8_t> pool(kPoolSectors * kSector, 0);
  for (size_t s = 0; s < kPoolSectors; ++s) {
    uint8_t* out = pool.data() + s * kSector;
    const unsigned kind = rng() % 4;
    if (kind == 0 || files.empty()) {
      std::copy_n(random.data() + s * kSector, kSector, out);
    } else if (kind == 1) {
      continue;  // zeros
    } else if (kind == 3 && !folders.empty() && rng() % 8 == 0) {
      std::copy_n(folders[rng() % folders.size()].data(), kSector, out);
    } else {
      const auto& file = files[rng() % files.size()];
      const size_t sectors = file.size() / kSector;
      const size_t pick = (kind == 2) ? 0 : rng() % sectors;  // a file start or any sector of it
      std::copy_n(file.data() + pick * kSector, kSector, out);
    }
  }
  return pool;
}

// Aims the scanner at a reader over the pool, as a sweep would.
struct Medium {
  std::unique_ptr<SectorReader> reader = std::make_unique<SectorReader>();
  explicit Medium(const std::vector<uint8_t>& pool) {
    reader->Attach(std::make_unique<platform::MemorySource>(pool), pool.size() / kSector);
    MeasureContext& c = MeasureContext::Instance();
    c.reader = reader.get();
    c.sectorSize = int(kSector);
    c.strictTransportStream = false;
  }
  ~Medium() { MeasureContext::Instance().reader = nullptr; }
};

template <typename Fn>
void Sweep(benchmark::State& state, const std::vector<uint8_t>& pool, Fn fn) {
  Medium medium(pool);
  MeasureContext& c = MeasureContext::Instance();
  size_t s = 0;
  int64_t hits = 0;
  for (auto _ : state) {
    c.startSector = c.sectorUnderTest = s;
    hits += fn(pool.data() + s * kSector, int(kSector));
    if (++s == kPoolSectors) s = 0;
  }
  benchmark::DoNotOptimize(hits);
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * int64_t(kSector));
  state.counters["matched"] = benchmark::Counter(double(hits) / double(state.iterations()));
}

int Identify(const uint8_t* b, int n) { return IdentifySector(b, n) != kTypeNone; }
int IdentifyInTableOrder(const uint8_t* b, int n) { return IdentifySectorInTableOrder(b, n) != kTypeNone; }
int Metadata(const uint8_t* b, int n) { return IsMetadataSector(b, n); }

const std::vector<uint8_t>& Random() { static const auto pool = RandomPool(1); return pool; }
const std::vector<uint8_t>& Zero() { static const std::vector<uint8_t> pool(kPoolSectors * kSector, 0); return pool; }
const std::vector<uint8_t>& Mixed() { static const auto pool = MixedPool(); return pool; }

void BM_IdentifySector_Random(benchmark::State& s) { Sweep(s, Random(), Identify); }
void BM_IdentifySector_Zero(benchmark::State& s) { Sweep(s, Zero(), Identify); }
void BM_IdentifySector_RealMix(benchmark::State& s) { Sweep(s, Mixed(), Identify); }
void BM_TableOrder_Random(benchmark::State& s) { Sweep(s, Random(), IdentifyInTableOrder); }
void BM_TableOrder_RealMix(benchmark::State& s) { Sweep(s, Mixed(), IdentifyInTableOrder); }
void BM_IsMetadataSector_Random(benchmark::State& s) { Sweep(s, Random(), Metadata); }
void BM_IsMetadataSector_Zero(benchmark::State& s) { Sweep(s, Zero(), Metadata); }
void BM_IsMetadataSector_RealMix(benchmark::State& s) { Sweep(s, Mixed(), Metadata); }

BENCHMARK(BM_IdentifySector_Random);
BENCHMARK(BM_IdentifySector_Zero);
BENCHMARK(BM_IdentifySector_RealMix);
BENCHMARK(BM_TableOrder_Random);
BENCHMARK(BM_TableOrder_RealMix);
BENCHMARK(BM_IsMetadataSector_Random);
BENCHMARK(BM_IsMetadataSector_Zero);
BENCHMARK(BM_IsMetadataSector_RealMix);

}  // namespace

BENCHMARK_MAIN();
