#include "carving/FreeSpaceStream.h"

#include <algorithm>

namespace salvora {

FreeSpaceStream::FreeSpaceStream(std::vector<Range> ranges, int sectorSize)
    : sectorSize_(sectorSize > 0 ? uint64_t(sectorSize) : 0) {
  if (sectorSize_ == 0) return;
  ranges_.reserve(ranges.size());
  uint64_t end = 0;
  for (const Range& r : ranges) {
    // A map that goes back or wraps is not one to follow: what came before it stays.
    if (r.count == 0 || r.first < end || r.first + r.count < r.first) continue;
    before_.push_back(ranges_.empty() ? 0 : before_.back() + ranges_.back().count);
    ranges_.push_back(r);
    end = r.first + r.count;
  }
}

bool FreeSpaceStream::Locate(uint64_t first, uint64_t at, uint64_t& sector, uint64_t& runSectors) const {
  const size_t start = RangeOf(first);
  if (start == ranges_.size()) return false;
  const uint64_t index = before_[start] + (first - ranges_[start].first) + at;
  if (index < at) return false;  // wrapped
  const size_t i = size_t(std::upper_bound(before_.begin(), before_.end(), index) - before_.begin()) - 1;
  const uint64_t into = index - before_[i];
  if (into >= ranges_[i].count) return false;
  sector = ranges_[i].first + into;
  runSectors = ranges_[i].count - into;
  return true;
}

size_t FreeSpaceStream::RangeOf(uint64_t s) const {
  auto it = std::upper_bound(ranges_.begin(), ranges_.end(), s,
                             [](uint64_t sector, const Range& r) { return sector < r.first; });
  if (it == ranges_.begin()) return ranges_.size();
  --it;
  return s - it->first < it->count ? size_t(it - ranges_.begin()) : ranges_.size();
}

bool FreeSpaceStream::Contiguous(uint64_t first, uint64_t bytes) const {
  if (!Known()) return true;
  const size_t i = RangeOf(first);
  if (i == ranges_.size()) return false;
  const uint64_t left = ranges_[i].first + ranges_[i].count - first;
  return left >= (bytes + sectorSize_ - 1) / sectorSize_;
}

FileLayout FreeSpaceStream::From(uint64_t first, uint64_t bytes) const {
  FileLayout layout;
  const size_t start = RangeOf(first);
  for (size_t i = start; i < ranges_.size() && bytes > 0; ++i) {
    const uint64_t at = i == start ? first : ranges_[i].first;
    const uint64_t sectors = ranges_[i].first + ranges_[i].count - at;
    const uint64_t take = std::min(bytes, sectors * sectorSize_);
    if (!layout.Append(at * sectorSize_, take)) break;
    bytes -= take;
  }
  return layout;
}

FileLayout SliceOf(const FileLayout& layout, uint64_t offset, uint64_t length) {
  FileLayout out;
  while (length > 0) {
    uint64_t at = 0, runLeft = 0;
    if (!layout.Locate(offset, at, runLeft) || runLeft == 0) return {};
    const uint64_t take = std::min(length, runLeft);
    if (!out.Append(at, take)) return {};
    offset += take;
    length -= take;
  }
  return out;
}

}  // namespace salvora
