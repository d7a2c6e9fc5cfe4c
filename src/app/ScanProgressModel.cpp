#include "app/ScanProgressModel.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace salvora::app {

ScanProgressModel::ScanProgressModel(std::vector<uint64_t> sourceBytes) : bytes_(std::move(sourceBytes)) {
  for (uint64_t& b : bytes_) b = std::max<uint64_t>(b, 1);
  if (bytes_.empty()) bytes_.push_back(1);
}

uint64_t ScanProgressModel::BytesBefore(size_t index) const {
  uint64_t sum = 0;
  for (size_t i = 0; i < index && i < bytes_.size(); ++i) sum += bytes_[i];
  return sum;
}

void ScanProgressModel::BeginSource(size_t index) {
  current_ = std::min(index, bytes_.size() - 1);
  sourceDone_ = 0;
  secondsLeft_ = -1;
  sweeping_ = false;
  position_ = total_ = 0;
  passShare_ = 0;
  foundNow_ = 0;
}

void ScanProgressModel::Report(int percent, int weight, int secondsLeft, uint64_t position, uint64_t total,
                               uint64_t found, uint64_t nowMs) {
  double done = sourceDone_;
  if (secondsLeft != secondsLeft_ || secondsLeft < 0) estimateMs_ = nowMs;
  if (total != 0) {
    position_ = std::min(position, total);
    total_ = total;
    if (!sweeping_) {
      sweeping_ = true;
      sweepStartMs_ = nowMs;
      sweepStartAt_ = position_;
      if (passShare_ == 0 && weight < 100) passShare_ = 1.0 - std::clamp(weight, 1, 99) / 100.0;
    }
    lastMs_ = nowMs;
    done = passShare_ + (1.0 - passShare_) * double(position_) / double(total_);
    secondsLeft_ = secondsLeft;
  } else if (weight >= 100) {
    done = std::clamp(percent, 0, 100) / 100.0;
    secondsLeft_ = secondsLeft;
  } else if (total_ == 0) {
    // The file-system pass before the sweep: its share of the source is its weight, and the sweep
    // goes on from there.
    passShare_ = std::clamp(weight, 0, 99) / 100.0;
    done = passShare_ * std::clamp(percent, 0, 100) / 100.0;
  }
  // A source's progress never goes back (the final report carries no sectors).
  sourceDone_ = std::max(sourceDone_, done);
  if (found != 0 || total != 0) foundNow_ = std::max(foundNow_, found);
}

void ScanProgressModel::EndSource(uint64_t found) {
  foundBefore_ += std::max(found, foundNow_);
  foundNow_ = 0;
  sourceDone_ = 1;
}

int ScanProgressModel::SourcePercent() const { return int(std::floor(sourceDone_ * 100.0 + 1e-9)); }

int ScanProgressModel::WholePercent() const {
  const double done = double(BytesBefore(current_)) + double(bytes_[current_]) * sourceDone_;
  return std::min(100, int(std::floor(done * 100.0 / double(AllBytes()) + 1e-9)));
}

int ScanProgressModel::SecondsLeft(uint64_t nowMs) const {
  double here = 0;  // seconds left for the current source
  const uint64_t sweptMs = lastMs_ - sweepStartMs_;
  if (sweeping_ && sweptMs >= kOwnEstimateMs && position_ > sweepStartAt_) {
    const double perSecond = double(position_ - sweepStartAt_) * 1000.0 / double(sweptMs);
    here = double(total_ - position_) / perSecond - double((nowMs - std::min(nowMs, lastMs_)) / 1000);
  } else if (secondsLeft_ >= 0) {
    // Whole seconds gone, so an estimate reads as given until a second has passed.
    here = double(secondsLeft_) - double((nowMs - std::min(nowMs, estimateMs_)) / 1000);
  } else {
    return -1;
  }
  here = std::max(here, 0.0);
  const double leftHere = double(bytes_[current_]) * (1.0 - sourceDone_);
  const double after = double(AllBytes() - BytesBefore(current_ + 1));
  const double seconds = after == 0 || leftHere <= 0 ? here : here + here * after / leftHere;
  return int(std::min<double>(seconds, std::numeric_limits<int>::max()));
}

}  // namespace salvora::app
