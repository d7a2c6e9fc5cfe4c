// The advanced scan of an image as the desktop program runs it: fast pass, then the sweep of the
// free space through the deep FAT, deep NTFS and carving engines, with the records on disk.
//
// Benchmark:  SALVORA_ADVANCED_IMAGE=/tmp/salvora-advanced-bench.img build/default/bench/bench_advanced_scan
// Whole run:  build/default/bench/bench_advanced_scan --scan IMAGE [--recover-to DIR]
//             (scan, then optionally recover every file found into DIR; prints one line of
//             key=value facts: seconds, swept MiB and MiB/s, records found, peak resident memory,
//             and the seconds spent checking the written files' content with the verdicts;
//             bench/compare-advanced-scan.sh times it against photorec)
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ScratchDataDir.h"
#include "carving/CheckContent.h"
#include "recovery/CProfessionalRecovery.h"
#include "recovery/EngineFactory.h"
#include "recovery/RecordVerdicts.h"
#include "scan/ScanLogCatalogue.h"

namespace {
using namespace salvora;
namespace fs = std::filesystem;

using bench::ScratchDataDir;

std::string ImagePath() {
  const char* path = std::getenv("SALVORA_ADVANCED_IMAGE");
  return path ? path : "/tmp/salvora-advanced-bench.img";
}

double PeakResidentMiB() {
  struct rusage usage {};
  ::getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

struct ScanResult {
  int rc = -1;
  uint64_t sweptBytes = 0;
  uint64_t found = 0;
};

ScanResult RunScan(std::unique_ptr<IFileRecoveryParse>& engine, const std::string& image) {
  ScanResult result;
  ScanLogCatalogue::Instance().Reload();
  engine = EngineFactory::Instance().CreateForImage(image, u'F', true);
  auto* pro = dynamic_cast<CProfessionalRecovery*>(engine.get());
  if (!pro) return result;
  // A saved scan of the same image is not continued: every run measures a whole scan.
  if (pro->HasResumeState()) pro->DiscardResumeState();
  result.rc = engine->Scan(nullptr);
  result.sweptBytes = pro->LastPosition().totalSwept * uint64_t(pro->SectorSize());
  result.found = engine->GetFoundCount();
  return result;
}

// What the recovery's content check of the written files cost and found.
struct Validation {
  double seconds = 0;
  size_t intact = 0, damaged = 0, unchecked = 0;
};

// Writes every file below folder into outDir, named by engine and record number, and checks each
// written file's content as salvora-cli recover does.
void RecoverBelow(IFileRecoveryParse& engine, const FoundFileRecord* folder, int depth,
                  const std::string& outDir, size_t& recovered, size_t& failed, Validation& checked) {
  if (depth > 256) return;
  std::vector<FoundFileRecord> children;
  engine.ListChildren(folder, depth, children);
  for (const FoundFileRecord& child : children) {
    if (child.IsFolder()) {
      RecoverBelow(engine, &child, depth + 1, outDir, recovered, failed, checked);
      continue;
    }
    std::string name(child.Name());
    std::string ext;
    if (size_t dot = name.rfind('.'); dot != std::string::npos)
      for (char c : name.substr(dot + 1))
        if (std::isalnum(static_cast<unsigned char>(c))) ext += c;
    // Carved files are named by their start sector, so the comparison can match them to the
    // planted ones; the others by their record number.
    const bool carved = child.EngineKind() == kFileTypeRecordKind;
    const std::string path = outDir + "/" + std::to_string(child.EngineKind()) + "-" +
                             std::to_string(carved ? child.EntrySector() : child.RecordNumber()) +
                             (ext.empty() ? "" : "." + ext);
    if (engine.RecoverFile(&child, path, 0) != 0) {
      ++failed;
      continue;
    }
    ++recovered;
    const auto start = std::chrono::steady_clock::now();
    const ContentVerdict verdict = CheckFileContent(path);
    KeepVerdict(engine, child, verdict);
    checked.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    (verdict.intact() ? checked.intact : verdict.damaged() ? checked.damaged : checked.unchecked)++;
  }
}

int ScanAndReport(const std::string& image, const std::string& outDir) {
  ScratchDataDir data;
  const auto start = std::chrono::steady_clock::now();
  std::unique_ptr<IFileRecoveryParse> engine;
  ScanResult r = RunScan(engine, image);
  const auto scanned = std::chrono::steady_clock::now();
  if (r.rc != 0) {
    std::fprintf(stderr, "advanced scan of %s failed: %d\n", image.c_str(), r.rc);
    return 1;
  }
  const double scanPeak = PeakResidentMiB();
  size_t recovered = 0, failed = 0;
  Validation checked;
  if (!outDir.empty()) {
    fs::create_directories(outDir);
    RecoverBelow(*engine, nullptr, 0, outDir, recovered, failed, checked);
  }
  const auto done = std::chrono::steady_clock::now();
  const double scanSeconds = std::chrono::duration<double>(scanned - start).count();
  const double totalSeconds = std::chrono::duration<double>(done - start).count();
  const double sweptMiB = double(r.sweptBytes) / (1024.0 * 1024.0);
  std::printf("scan_s=%.2f swept_MiB=%.1f swept_MiB_per_s=%.1f found=%llu scan_peak_rss_MiB=%.1f",
              scanSeconds, sweptMiB, sweptMiB / scanSeconds, (unsigned long long)r.found, scanPeak);
  if (!outDir.empty())
    std::printf(" recovered=%zu failed=%zu total_s=%.2f peak_rss_MiB=%.1f validate_s=%.2f intact=%zu damaged=%zu"
                " not_checked=%zu",
                recovered, failed, totalSeconds, PeakResidentMiB(), checked.seconds, checked.intact, checked.damaged,
                checked.unchecked);
  std::printf("\n");
  return 0;
}

void BM_AdvancedScan(benchmark::State& state) {
  const std::string image = ImagePath();
  if (!fs::exists(image)) {
    state.SkipWithError(("no image " + image + ": run bench/compare-advanced-scan.sh once").c_str());
    return;
  }
  ScratchDataDir data;
  uint64_t bytes = 0, found = 0;
  for (auto _ : state) {
    std::unique_ptr<IFileRecoveryParse> engine;
    ScanResult r = RunScan(engine, image);
    if (r.rc != 0) {
      state.SkipWithError("scan failed");
      return;
    }
    bytes += r.sweptBytes;
    found = r.found;
  }
  state.SetBytesProcessed(int64_t(bytes));
  state.counters["found"] = double(found);
  state.counters["peak_rss_MiB"] = PeakResidentMiB();
}
BENCHMARK(BM_AdvancedScan)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  std::string image, outDir;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--scan") == 0) image = argv[i + 1];
    if (std::strcmp(argv[i], "--recover-to") == 0) outDir = argv[i + 1];
  }
  if (!image.empty()) return ScanAndReport(image, outDir);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
