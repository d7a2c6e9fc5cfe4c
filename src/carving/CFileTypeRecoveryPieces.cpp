// The carving engine's files in two pieces: finding the second piece of a JPEG, and reading a
// record's pieces for recovery and preview.
#include <algorithm>

#include "carving/CFileTypeRecovery.h"
#include "carving/ReaderByteSource.h"
#include "carving/SectorRunCopy.h"
#include "carving/SizeLimits.h"

namespace salvora {

void CFileTypeRecovery::SetAllocationUnit(uint64_t firstClusterSector, uint32_t clusterBytes) {
  unitStart_ = firstClusterSector;
  unitBytes_ = clusterBytes;
}

std::optional<JpegSplit> CFileTypeRecovery::SplitJpeg(SectorReader& reader, int sectorSize,
                                                      uint64_t firstSector, uint64_t size) const {
  if (sectorSize <= 0 || size == 0) return std::nullopt;
  const uint64_t sector = uint64_t(sectorSize);
  JpegGapBounds bounds;
  bounds.step = sector;
  // Clusters when the file system's are known and the sectors divide them; the first boundary is
  // where the cluster holding the file's start ends (0 when the file starts one).
  if (unitBytes_ >= sector && unitBytes_ % sector == 0 && firstSector >= unitStart_) {
    bounds.step = unitBytes_;
    const uint64_t into = (firstSector - unitStart_) * sector % unitBytes_;
    bounds.phase = into ? unitBytes_ - into : 0;
  }
  ReaderByteSource medium(reader, sectorSize, firstSector, size + bounds.maxGap + kPictureLimit);
  return FindJpegContinuation(medium, size, bounds);
}

int CFileTypeRecovery::CopyRecord(const FoundFileRecord& record, uint64_t bytes,
                                  const std::function<int(const uint8_t*, size_t)>& sink) {
  const auto split = splits_.find(record.RecordNumber());
  const uint64_t sector = uint64_t(sectorSize_ > 0 ? sectorSize_ : 512);
  if (split == splits_.end() || split->second.length != record.FileSize())
    return CopySectorRun(reader_, sectorSize_, record.EntrySector(), bytes, sink);
  const JpegSplit& pieces = split->second;
  const uint64_t first = std::min(bytes, pieces.firstLength);
  if (int rc = CopySectorRun(reader_, sectorSize_, record.EntrySector(), first, sink); rc != 0 || first == bytes)
    return rc;
  return CopySectorRun(reader_, sectorSize_, record.EntrySector() + pieces.secondOffset / sector,
                       std::min(bytes, pieces.length) - first, sink);
}

}  // namespace salvora
