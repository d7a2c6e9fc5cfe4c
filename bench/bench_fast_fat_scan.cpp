// Fast FAT scan of a FAT32 volume with 20,000 entries, half of them deleted, timed against The
// Sleuth Kit's `fls -r -d` on the same image in the same run. The image is made once with
// mkfs.fat and mtools under $TMPDIR (or /tmp) and kept for later runs.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "FastScanBench.h"
#include "RatioReporter.h"
#include "fat/CFastFatRecovery.h"

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
  salvora::bench::TimeFastScan<salvora::CFastFatRecovery>(state, Image(), WorkDir() + "/data",
                                      "could not make the image (mkfs.fat, mtools)");
}
BENCHMARK(BM_FastFatScan)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_FlsRecursiveDeleted(benchmark::State& state) {
  salvora::bench::TimeFlsDeleted(state, Image(), "");
}
BENCHMARK(BM_FlsRecursiveDeleted)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  salvora::bench::RatioReporter reporter("BM_FastFatScan/min_time:2.000/real_time",
                                         "BM_FlsRecursiveDeleted/min_time:2.000/real_time",
                                         "fast scan / fls time ratio", "fls");
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
