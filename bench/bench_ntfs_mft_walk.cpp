// The fast NTFS scan (the MFT walk, the folder pass and the store writes) over a volume of more
// than 24,000 records, timed against The Sleuth Kit's `fls -r -d` listing the same deleted files.
//
//   bench_ntfs_mft_walk [--benchmark_...]   image: $SALVORA_BENCH_NTFS_IMAGE, else
//                                           ../fixtures/ntfs-large.img beside this program
//                                           (built by tests/fixtures/make-ntfs-large.sh)
// The counter fls_ratio is fls time / our time: above 1 means faster than fls.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ntfs/CFastNtfsRecovery.h"
#include "scan/ScanLogCatalogue.h"

namespace {

namespace fs = std::filesystem;

std::string ImagePath() {
  if (const char* env = std::getenv("SALVORA_BENCH_NTFS_IMAGE")) return env;
  return (fs::read_symlink("/proc/self/exe").parent_path() / "../fixtures/ntfs-large.img").lexically_normal();
}

// A scratch application-data folder, so the scan logs go nowhere that matters.
const std::string& DataDir() {
  static std::string dir = [] {
    char pattern[] = "/tmp/salvora-bench-XXXXXX";
    std::string made = ::mkdtemp(pattern);
    ::setenv("SALVORA_DATA_DIR", made.c_str(), 1);
    return made;
  }();
  return dir;
}

double SecondsOf(const std::string& command) {
  auto start = std::chrono::steady_clock::now();
  if (std::system(command.c_str()) != 0) return -1;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double FlsSeconds(const std::string& image) {
  double best = 1e9;
  for (int i = 0; i < 3; ++i) best = std::min(best, SecondsOf("fls -r -d '" + image + "' >/dev/null 2>&1"));
  return best;
}

void BM_FastNtfsScan(benchmark::State& state) {
  std::string image = ImagePath();
  if (!fs::exists(image)) {
    state.SkipWithError(("no image " + image).c_str());
    return;
  }
  DataDir();
  uint64_t found = 0;
  double seconds = 0;
  for (auto _ : state) {
    salvora::CFastNtfsRecovery engine;
    if (engine.OpenImageFile(image, 0) != 0) {
      state.SkipWithError("open failed");
      return;
    }
    salvora::ScanLogCatalogue::Instance().NewSession();
    auto start = std::chrono::steady_clock::now();
    if (engine.Scan(nullptr) != 0) {
      state.SkipWithError("scan failed");
      return;
    }
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    found = engine.GetFoundCount();
    state.counters["mft_records"] = double(engine.Mft().RecordCount());
  }
  state.counters["found"] = double(found);
  double ours = seconds / double(state.iterations());
  double fls = FlsSeconds(image);
  state.counters["fls_seconds"] = fls;
  state.counters["fls_ratio"] = fls > 0 ? fls / ours : 0;
}
BENCHMARK(BM_FastNtfsScan)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
