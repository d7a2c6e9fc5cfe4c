#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace salvora::app {

// The figures of one scan window: the whole of the chosen sources and the one being scanned.
// The percent comes from the sectors done (never ahead of them); earlier sources count in the
// whole by their size, so a multi-source scan neither resets per source nor jumps.
class ScanProgressModel {
 public:
  // Each source's size in bytes (a weight only; zero counts as one byte).
  explicit ScanProgressModel(std::vector<uint64_t> sourceBytes = {});

  // Starts a source; those before it count as done.
  void BeginSource(size_t index);
  // A report of the running engine at nowMs. total 0: no sector sweep yet. Weight 100 is an engine
  // that is the whole scan (or the final report); a smaller weight is a file-system pass that fills
  // that share of the source before the sweep, whose sectors then fill the rest. A sweep that
  // reports first (a resumed scan, whose pass comes from its log) leaves the pass the share its
  // own weight does not cover, so the bar stands where it stood when the scan was stopped.
  void Report(int percent, int weight, int secondsLeft, uint64_t position, uint64_t total, uint64_t found,
              uint64_t nowMs);
  // The source ended; found is what its engine holds.
  void EndSource(uint64_t found);

  size_t SourceCount() const { return bytes_.size(); }
  size_t Current() const { return current_; }
  int SourcePercent() const;
  int WholePercent() const;
  uint64_t Found() const { return foundBefore_ + foundNow_; }
  uint64_t Position() const { return position_; }
  uint64_t Total() const { return total_; }
  // Seconds left for the whole at nowMs; -1 while there is no estimate. Once the sweep has run
  // kOwnEstimateMs in this window the rate it has shown here gives the estimate (the engine's
  // own estimate comes late, every few seconds, and after a resume counts the sectors swept
  // before); until then the engine's last estimate, counted down as time passes.
  int SecondsLeft(uint64_t nowMs) const;
  static constexpr uint64_t kOwnEstimateMs = 1500;

 private:
  uint64_t BytesBefore(size_t index) const;
  uint64_t AllBytes() const { return BytesBefore(bytes_.size()); }

  std::vector<uint64_t> bytes_;
  size_t current_ = 0;
  double sourceDone_ = 0;  // fraction of the current source, 0..1
  double passShare_ = 0;   // the file-system pass's share of the current source
  int secondsLeft_ = -1;
  uint64_t estimateMs_ = 0;     // when the engine gave secondsLeft_
  uint64_t sweepStartMs_ = 0;   // the first sweep report of this source in this window
  uint64_t sweepStartAt_ = 0;   // its position
  uint64_t lastMs_ = 0;         // the last sweep report
  bool sweeping_ = false;
  uint64_t position_ = 0;
  uint64_t total_ = 0;
  uint64_t foundBefore_ = 0;
  uint64_t foundNow_ = 0;
};

}  // namespace salvora::app
