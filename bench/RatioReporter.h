#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace salvora::bench {

// Prints the results as usual, then the ratio of two benchmarks' real times (ours over the
// peer's), so every run compares both on the same machine at the same moment.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // label names the ratio ("fast scan / fls time ratio"), peerName the peer ("fls").
  RatioReporter(std::string ours, std::string peer, std::string label, std::string peerName)
      : ours_(std::move(ours)), peer_(std::move(peer)), label_(std::move(label)), peerName_(std::move(peerName)) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& run : runs)
      if (!run.error_occurred && run.iterations > 0) times_[run.benchmark_name()] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    auto ours = times_.find(ours_);
    auto peer = times_.find(peer_);
    if (ours != times_.end() && peer != times_.end() && peer->second > 0)
      std::printf("%s: %.3f (%s than %s)\n", label_.c_str(), ours->second / peer->second,
                  ours->second < peer->second ? "faster" : "slower", peerName_.c_str());
  }

 private:
  std::string ours_, peer_, label_, peerName_;
  std::map<std::string, double> times_;
};

}  // namespace salvora::bench
