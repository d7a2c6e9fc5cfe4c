// Fast exFAT scan of a card with 20,000 entries, half of them deleted, timed against The Sleuth
// Kit's `fls -r -d -f exfat` on the same image in the same run. The image is made once with
// mkfs.exfat and a loop device mounted by mount.exfat-fuse (root) under $TMPDIR (or /tmp) and
// kept for later runs.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "FastScanBench.h"
#include "RatioReporter.h"
#include "exfat/CFastExfatRecovery.h"

namespace {

namespace fs = std::filesystem;

std::string WorkDir() {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/salvora-bench-exfat";
}

int Run(const std::string& command) { return std::system(command.c_str()); }

// Writes text to path; false when it cannot.
bool WriteText(const std::string& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "w");
  if (!f) return false;
  const bool ok = std::fputs(text.c_str(), f) >= 0;
  return std::fclose(f) == 0 && ok;
}

// 20 folders of 1,000 files (long and short names alike); in every other folder all files but the
// last deleted.
std::string MakeImage() {
  const std::string dir = WorkDir(), image = dir + "/exfat-20000.img";
  if (fs::exists(image)) return image;
  fs::remove_all(dir);
  fs::create_directories(dir + "/mnt");
  const bool written =
      WriteText(dir + "/fill.py",
                "import os, sys\n"
                "root = sys.argv[1]\n"
                "for d in range(20):\n"
                "    folder = f'{root}/D{d:02d}'\n"
                "    os.mkdir(folder)\n"
                "    for f in range(1000):\n"
                "        name = f'Holiday picture {f:04d}.txt' if f % 2 else f'F{f:04d}.TXT'\n"
                "        open(f'{folder}/{name}', 'w').write(f'file {d}/{f}\\n')\n"
                // The last file stays: the file system shrinks a folder to its last entry in use.
                "    if d % 2 == 0:\n"
                "        for name in os.listdir(folder):\n"
                "            if name != 'Holiday picture 0999.txt': os.remove(f'{folder}/{name}')\n") &&
      WriteText(dir + "/make.sh",
                "set -e\ncd \"$(dirname \"$0\")\"\n"
                "truncate -s 256M tmp.img\nmkfs.exfat -c 4K tmp.img >/dev/null\n"
                "dev=$(losetup -f --show tmp.img)\n"
                "trap 'umount mnt 2>/dev/null; losetup -d $dev' EXIT\n"
                "mount.exfat-fuse $dev mnt\npython3 fill.py mnt\nsync\n");
  if (!written || Run("bash '" + dir + "/make.sh'") != 0) return "";
  fs::rename(dir + "/tmp.img", image);
  return image;
}

const std::string& Image() {
  static const std::string image = MakeImage();
  return image;
}

void BM_FastExfatScan(benchmark::State& state) {
  salvora::bench::TimeFastScan<salvora::CFastExfatRecovery>(state, Image(), WorkDir() + "/data",
                                      "could not make the image (mkfs.exfat, mount.exfat-fuse as root)");
}
BENCHMARK(BM_FastExfatScan)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_FlsExfatRecursiveDeleted(benchmark::State& state) {
  salvora::bench::TimeFlsDeleted(state, Image(), "-f exfat");
}
BENCHMARK(BM_FlsExfatRecursiveDeleted)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  salvora::bench::RatioReporter reporter("BM_FastExfatScan/min_time:2.000/real_time",
                                         "BM_FlsExfatRecursiveDeleted/min_time:2.000/real_time",
                                         "fast exFAT scan / fls time ratio", "fls");
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
