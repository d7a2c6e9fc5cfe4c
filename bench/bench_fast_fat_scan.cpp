// Fast FAT scan of a FAT32 volume with 20,000 entries, half of them deleted, timed against The
// Sleuth Kit's `fls -r -d` on the same image in the same run. The image is made once with
// mkfs.fat and mtools under $TMPDIR (or /tmp) and kept for later runs.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "fat/CFastFatRecovery.h"
#include "scan/ScanLogCatalogue.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFolders = 20;
constexpr int kFilesPerFolder = 1000;

std::string WorkDir() {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/salvora-bench-fat";
}

int Run(const std::string& command) { return std::system(command.c_str()); }

// 20 folders of 1,000 files (long and short names alike); the files of every other folder deleted.
std::string MakeImage() {
  const std::string dir = WorkDir(), image = dir + "/fat32-20000.img";
  if (fs::exists(image)) return image;
  fs::remove_all(dir);
  fs::create_directories(dir + "/src");
  for (int d = 0; d < kFolders; ++d) {
    char folder[32];
    std::snprintf(folder, sizeof folder, "D%02d", d);
    fs::create_directories(dir + "/src/" + folder);
    for (int f = 0; f < kFilesPerFolder; ++f) {
      char name[64];
      if (f % 2) std::snprintf(name, sizeof name, "Holiday picture %04d.txt", f);
      else std::snprintf(name, sizeof name, "F%04d.TXT", f);
      std::ofstream(dir + "/src/" + folder + "/" + name) << "file " << d << "/" << f << "\n";
    }
  }
  const std::string tmp = image + ".tmp";
  std::string cmd = "export MTOOLS_SKIP_CHECK=1; cd '" + dir + "/src' && mkfs.fat -C -F 32 -s 1 '" + tmp +
                    "' 131072 >/dev/null && mcopy -s -i '" + tmp + "' D* ::/";
  for (int d = 0; d < kFolders; d += 2) {
    char folder[32];
    std::snprintf(folder, sizeof folder, "D%02d", d);
    cmd += std::string(" && mdel -i '") + tmp + "' '::/" + folder + "/*'";
  }
  if (Run(cmd) != 0) return "";
  fs::rename(tmp, image);
  fs::remove_all(dir + "/src");
  return image;
}

const std::string& Image() {
  static const std::string image = MakeImage();
  return image;
}

void BM_FastFatScan(benchmark::State& state) {
  if (Image().empty()) {
    state.SkipWithError("could not make the image (mkfs.fat, mtools)");
    return;
  }
  setenv("SALVORA_DATA_DIR", (WorkDir() + "/data").c_str(), 1);
  uint64_t found = 0;
  for (auto _ : state) {
    salvora::CFastFatRecovery engine;
    if (engine.OpenImageFile(Image(), 0) != 0) {
      state.SkipWithError("open failed");
      return;
    }
    salvora::ScanLogCatalogue::Instance().NewSession();
    if (engine.Scan(nullptr) != 0) {
      state.SkipWithError("scan failed");
      return;
    }
    found = engine.GetFoundCount();
  }
  state.counters["records"] = double(found);
}
BENCHMARK(BM_FastFatScan)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_FlsRecursiveDeleted(benchmark::State& state) {
  if (Image().empty() || Run("command -v fls >/dev/null 2>&1") != 0) {
    state.SkipWithError("fls (sleuthkit) or the image is missing");
    return;
  }
  const std::string cmd = "fls -r -d -p '" + Image() + "' > /dev/null";
  for (auto _ : state)
    if (Run(cmd) != 0) state.SkipWithError("fls failed");
}
BENCHMARK(BM_FlsRecursiveDeleted)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// Prints the results as usual, then the ratio of the two real times.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& run : runs)
      if (!run.error_occurred && run.iterations > 0) times_[run.benchmark_name()] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    auto scan = times_.find("BM_FastFatScan/min_time:2.000/real_time");
    auto fls = times_.find("BM_FlsRecursiveDeleted/min_time:2.000/real_time");
    if (scan != times_.end() && fls != times_.end() && fls->second > 0)
      std::printf("fast scan / fls time ratio: %.3f (%s than fls)\n", scan->second / fls->second,
                  scan->second < fls->second ? "faster" : "slower");
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
