#include "ntfs/CompressedRunReader.h"

#include <algorithm>
#include <cstring>

#include "ntfs/Lznt1.h"
#include "platform/ErrorCodes.h"

namespace salvora {

bool CompressedRunReader::BuildExtents(const RunList& runs, std::vector<Extent>& extents) {
  extents.clear();
  uint64_t vcn = 0;
  int64_t lcn = 0;
  for (const auto& run : runs) {
    if (!run.sparse) {
      // A sum of hostile deltas may overflow; such runs lead nowhere anyway.
      if (__builtin_add_overflow(lcn, run.delta, &lcn)) return false;
    }
    extents.push_back(Extent{vcn, run.length, lcn, run.sparse});
    vcn += run.length;
  }
  return true;
}

int CompressedRunReader::Copy(const StreamLayout& layout, uint64_t total, PieceSink sink,
                              void* context) {
  if (total == 0) return 0;
  const uint64_t unitClusters = layout.unitClusters;
  if (unitClusters == 0 || bps_ == 0 || clusterSize_ < bps_ || clusterSize_ % bps_ != 0 ||
      clusterSize_ > kMaxUnitBytes / unitClusters)
    return kReadFault;
  const uint64_t unitBytes = unitClusters * clusterSize_;
  std::vector<Extent> extents;
  if (!BuildExtents(layout.runs, extents)) return kReadFault;
  unit_.assign(size_t(unitBytes), 0);
  cursor_ = 0;
  uint64_t done = 0;
  for (uint64_t u = 0; done < total; ++u) {
    bool covered = false;
    int rc = ReadUnit(extents, u, layout.unitClusters, covered);
    // The runs end before the recorded size: what was there has been handed over, not the file.
    if (!covered) return kReadFault;
    uint64_t take = std::min(unitBytes, total - done);
    done += take;
    int result = sink(context, unit_.data(), size_t(take), done, total);
    if (rc != 0) return rc;
    if (result != 0) return result;
  }
  return 0;
}

int CompressedRunReader::ReadUnit(const std::vector<Extent>& extents, uint64_t u,
                                  uint32_t unitClusters, bool& covered) {
  const uint64_t first = u * unitClusters;
  const uint64_t end = first + unitClusters;
  packed_.clear();
  covered = false;
  uint64_t stored = 0;
  int rc = 0;
  // Units come in order: the extents that end before this one are never looked at again.
  while (cursor_ < extents.size() && extents[cursor_].vcn + extents[cursor_].length <= first) ++cursor_;
  for (size_t i = cursor_; i < extents.size() && extents[i].vcn < end; ++i) {
    const Extent& e = extents[i];
    uint64_t from = std::max(e.vcn, first);
    uint64_t to = std::min(e.vcn + e.length, end);
    if (from >= to) continue;
    covered = true;
    if (e.sparse) continue;
    if (rc == 0) rc = ReadClusters(e.lcn, from - e.vcn, to - from);
    stored += to - from;
  }
  if (stored == unitClusters) {
    // Compression did not pay for this unit: its clusters hold the data as is.
    std::memcpy(unit_.data(), packed_.data(), unit_.size());
  } else if (stored == 0) {
    std::memset(unit_.data(), 0, unit_.size());
  } else if (!DecompressLznt1(ByteView(packed_.data(), packed_.size()), unit_.data(), unit_.size())) {
    if (rc == 0) rc = kReadFault;
  }
  return rc;
}

int CompressedRunReader::ReadClusters(int64_t lcn, uint64_t skip, uint64_t count) {
  size_t at = packed_.size();
  packed_.resize(at + size_t(count * clusterSize_), 0);
  if (lcn < 0 || uint64_t(lcn) > UINT64_MAX / clusterSize_ - skip) return kReadFault;
  const uint64_t spc = clusterSize_ / bps_;
  uint64_t sector = (uint64_t(lcn) + skip) * spc;
  if (sector > UINT64_MAX - partitionStart_) return kReadFault;
  uint32_t sectors = uint32_t(count * spc);
  uint32_t got = 0;
  int rc = reader_.ReadSectors(packed_.data() + at, sectors, sector + partitionStart_, int(bps_), got);
  if (rc == 0 && got < sectors) rc = kReadFault;
  return rc;
}

}  // namespace salvora
