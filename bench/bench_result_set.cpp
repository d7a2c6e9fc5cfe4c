// What folding the engines' finds into one result set costs, beside the advanced scan that made
// them: on a card whose 100,000 deleted pictures the fast FAT scan lists and carving finds again
// (bench/make-many-deleted-image.py), the result set is built once after the scan, then a type
// search lists the pictures through it.
//
// usage: bench_result_set IMAGE   (bench/compare-result-set.sh makes the image and runs it)
// Prints one line of key=value facts: scan_s, merge_s, merge_share (merge / scan), search_s,
// records the engines wrote, files listed, peak resident memory after the scan and after the
// merge.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ScratchDataDir.h"
#include "recovery/CProfessionalRecovery.h"
#include "recovery/EngineFactory.h"
#include "scan/ScanLogCatalogue.h"

namespace {
using namespace salvora;
using Clock = std::chrono::steady_clock;

double PeakResidentMiB() {
  struct rusage usage {};
  ::getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_maxrss) / 1024.0;
}

double Seconds(Clock::time_point from, Clock::time_point to) { return std::chrono::duration<double>(to - from).count(); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: bench_result_set IMAGE\n");
    return 2;
  }
  bench::ScratchDataDir data;
  ScanLogCatalogue::Instance().Reload();
  std::unique_ptr<IFileRecoveryParse> engine = EngineFactory::Instance().CreateForImage(argv[1], u'F', true);
  auto* pro = dynamic_cast<CProfessionalRecovery*>(engine.get());
  if (!pro) return 1;
  if (pro->HasResumeState()) pro->DiscardResumeState();
  const auto start = Clock::now();
  if (int rc = engine->Scan(nullptr); rc != 0) {
    std::fprintf(stderr, "scan failed: %d\n", rc);
    return 1;
  }
  const auto scanned = Clock::now();
  const double scanPeak = PeakResidentMiB();
  pro->Results();
  const auto merged = Clock::now();
  const double mergedPeak = PeakResidentMiB();
  std::vector<FoundFileRecord> found;
  engine->SearchByExtension("*.jpg|", found);
  const auto searched = Clock::now();
  const double scan = Seconds(start, scanned), merge = Seconds(scanned, merged);
  std::printf("scan_s=%.2f merge_s=%.3f merge_share=%.3f search_s=%.2f records=%llu listed=%zu "
              "scan_peak_rss_MiB=%.1f merged_peak_rss_MiB=%.1f\n",
              scan, merge, merge / scan, Seconds(merged, searched), (unsigned long long)engine->GetFoundCount(),
              found.size(), scanPeak, mergedPeak);
  return 0;
}
