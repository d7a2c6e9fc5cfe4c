// Carving sweep throughput: identification plus carving of every sector of a raw image of random
// data with real files mixed in (bench/make-carve-image.py builds it), read from a warm page cache.
//
// Benchmark:  SALVORA_CARVE_IMAGE=/tmp/salvora-carve-bench.img build/default/bench/bench_carving
// Whole run:  build/default/bench/bench_carving --carve IMAGE --recover-to DIR
//             (sweep, then recover every carved file into DIR; prints counts and seconds; this is
//             what bench/compare-carving.sh times against photorec and foremost)
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ScratchDataDir.h"
#include "carving/CFileTypeRecovery.h"
#include "carving/MeasureContext.h"
#include "platform/RawSource.h"
#include "scan/ScanLogCatalogue.h"
#include "scan/SectorSweep.h"
#include "storage/SectorReader.h"

namespace {
using namespace salvora;
namespace fs = std::filesystem;

constexpr int kSectorSize = 512;

using bench::ScratchDataDir;

std::string ImagePath() {
  const char* path = std::getenv("SALVORA_CARVE_IMAGE");
  return path ? path : "/tmp/salvora-carve-bench.img";
}

// Sweeps the whole image through CarveAt, as the advanced scan does with free space.
struct SweepResult {
  int rc = 0;
  uint64_t sectors = 0;
  uint64_t found = 0;
};

SweepResult SweepImage(CFileTypeRecovery& engine, const std::string& image, int logNumber) {
  SweepResult result;
  ScanLogCatalogue::Instance().NewSession();
  const std::string log = "File_Type_0_2026127 " + std::to_string(logNumber);
  if ((result.rc = engine.AttachImage(log, 0, image, kSectorSize)) != 0) return result;
  MeasureContext::Instance().TransportStreamExtents.clear();
  SectorReader reader;
  if ((result.rc = reader.OpenFile(image)) != 0) return result;
  result.sectors = reader.TotalSectors();
  SectorSweep sweep(reader, kSectorSize);
  result.rc = sweep.Run(0, result.sectors, 0,
                        [&](const uint8_t* sector, size_t, uint64_t address, uint64_t& skip) {
                          return engine.CarveAt(sector, kSectorSize, address, sweep.Swept(),
                                                result.sectors, -1, &reader, kSectorSize, skip,
                                                result.found);
                        });
  return result;
}

void WarmCache(const std::string& image) {
  SectorReader reader;
  if (reader.OpenFile(image) != 0) return;
  std::vector<uint8_t> buffer(SectorReader::kPieceBytes);
  const uint32_t piece = uint32_t(buffer.size() / kSectorSize);
  for (uint64_t s = 0; s < reader.TotalSectors(); s += piece) {
    uint32_t got = 0;
    uint32_t n = uint32_t(std::min<uint64_t>(piece, reader.TotalSectors() - s));
    reader.ReadSectors(buffer.data(), n, s, kSectorSize, got);
  }
}

void BM_SweepCarve(benchmark::State& state) {
  ScratchDataDir data;
  const std::string image = ImagePath();
  if (!fs::exists(image)) {
    state.SkipWithError(("no image " + image + ": run bench/make-carve-image.py").c_str());
    return;
  }
  WarmCache(image);
  uint64_t sectors = 0, found = 0;
  int run = 0;
  for (auto _ : state) {
    CFileTypeRecovery engine;
    SweepResult r = SweepImage(engine, image, ++run);
    if (r.rc != 0) {
      state.SkipWithError("sweep failed");
      return;
    }
    sectors += r.sectors;
    found = r.found;
  }
  state.SetBytesProcessed(int64_t(sectors * kSectorSize));
  state.counters["sectors_per_s"] = benchmark::Counter(double(sectors), benchmark::Counter::kIsRate);
  state.counters["found"] = double(found);
}
BENCHMARK(BM_SweepCarve)->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();

// The whole run that the comparison script times: sweep, then write every carved file out.
int CarveAndRecover(const std::string& image, const std::string& outDir) {
  ScratchDataDir data;
  const auto start = std::chrono::steady_clock::now();
  CFileTypeRecovery engine;
  SweepResult r = SweepImage(engine, image, 1);
  if (r.rc != 0) {
    std::fprintf(stderr, "sweep failed: %d\n", r.rc);
    return 1;
  }
  const auto swept = std::chrono::steady_clock::now();
  std::vector<FoundFileRecord> records;
  engine.ListChildren(nullptr, 0, records);
  fs::create_directories(outDir);
  int failed = 0;
  for (const FoundFileRecord& record : records)
    if (engine.RecoverFile(&record, outDir + "/" + std::string(record.Name()), 0) != 0) ++failed;
  const auto done = std::chrono::steady_clock::now();
  const double sweepSeconds = std::chrono::duration<double>(swept - start).count();
  const double totalSeconds = std::chrono::duration<double>(done - start).count();
  std::printf("sectors %llu found %llu recovered %zu failed %d sweep_s %.3f total_s %.3f MiB_per_s %.1f\n",
              (unsigned long long)r.sectors, (unsigned long long)r.found, records.size() - failed,
              failed, sweepSeconds, totalSeconds,
              double(r.sectors) * kSectorSize / (1024.0 * 1024.0) / sweepSeconds);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string image, outDir;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--carve") == 0) image = argv[i + 1];
    if (std::strcmp(argv[i], "--recover-to") == 0) outDir = argv[i + 1];
  }
  if (!image.empty() && !outDir.empty()) return CarveAndRecover(image, outDir);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
