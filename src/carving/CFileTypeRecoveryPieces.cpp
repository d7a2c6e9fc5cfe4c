// The carving engine's files in two pieces: finding the second piece of a JPEG, and reading a
// record's pieces for recovery and preview.
#include <algorithm>

#include "carving/CFileTypeRecovery.h"
#include "carving/ReaderByteSource.h"
#include "carving/SectorRunCopy.h"
#include "carving/SizeLimits.h"
#include "platform/ErrorCodes.h"
#include "scan/FileLayout.h"

namespace salvora {

void CFileTypeRecovery::SetAllocationUnit(uint64_t firstClusterSector, uint32_t clusterBytes) {
  unitStart_ = firstClusterSector;
  unitBytes_ = clusterBytes;
}

std::optional<JpegSplit> CFileTypeRecovery::SplitJpeg(SectorReader& reader, int sectorSize,
                                                      uint64_t firstSector, uint64_t size,
                                                      WalkResult& plainDecode) const {
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
  // A picture decoded ahead that decodes cleanly (most do) needs no search for a second piece;
  // a broken one is searched as before, which decodes it again.
  if (decodeAhead_ && GapSearchRuns(bounds)) {
    const auto ahead = decodeAhead_->Take(firstSector, size);
    if (ahead && ahead->outcome != WalkResult::Outcome::Broken) {
      plainDecode = *ahead;
      return std::nullopt;
    }
  }
  ReaderByteSource medium(reader, sectorSize, firstSector, size + bounds.maxGap + kPictureLimit);
  return FindJpegContinuation(medium, size, bounds, &plainDecode);
}

bool CFileTypeRecovery::KeepSplit(const FoundFileRecord& record, uint64_t firstSector,
                                  const JpegSplit& split) {
  const uint64_t start = firstSector * uint64_t(sectorSize_);
  FileLayout layout;
  return store_ && layout.Append(start, split.firstLength) &&
         layout.Append(start + split.secondOffset, split.SecondLength()) && store_->SetLayout(record, layout);
}

int CFileTypeRecovery::CopyRecord(const FoundFileRecord& record, uint64_t bytes,
                                  const std::function<int(const uint8_t*, size_t)>& sink) {
  FileLayout layout;
  if (!store_ || !store_->FindLayout(record, layout))
    return CopySectorRun(reader_, sectorSize_, record.EntrySector(), bytes, sink);
  const uint64_t sector = uint64_t(sectorSize_ > 0 ? sectorSize_ : 512);
  uint64_t left = bytes;
  for (const FileExtent& extent : layout.Extents()) {
    if (left == 0) break;
    // The pieces this engine records begin on sectors; a log that says otherwise is damaged.
    if (extent.offset % sector != 0) return kInvalidParameter;
    const uint64_t take = std::min(left, extent.length);
    if (int rc = CopySectorRun(reader_, sectorSize_, extent.offset / sector, take, sink); rc != 0) return rc;
    left -= take;
  }
  return 0;
}

}  // namespace salvora
