// The carving engine's files in pieces: finding the rest of a JPEG (in the free clusters when the
// volume's map is known, else in the sectors that follow), and reading a record's pieces for
// recovery and preview.
#include <algorithm>

#include "carving/CFileTypeRecovery.h"
#include "carving/JpegDecodeCheck.h"
#include "carving/LayoutByteSource.h"
#include "carving/ReaderByteSource.h"
#include "carving/SectorRunCopy.h"
#include "carving/SizeLimits.h"
#include "carving/SplicedByteSource.h"
#include "carving/StructureWalks.h"
#include "platform/ErrorCodes.h"
#include "scan/FileLayout.h"

namespace salvora {

void CFileTypeRecovery::SetAllocationUnit(uint64_t firstClusterSector, uint32_t clusterBytes) {
  unitStart_ = firstClusterSector;
  unitBytes_ = clusterBytes;
}

void CFileTypeRecovery::SetFreeSpace(FreeSpaceStream free) { free_ = std::move(free); }

namespace {

// The split's pieces as extents of the source, read through `stream` (the stream's file offsets
// are the split's).
FileLayout PiecesOf(const FileLayout& stream, const JpegSplit& split) {
  FileLayout pieces;
  for (const JpegPiece& piece : split.pieces) {
    const FileLayout part = SliceOf(stream, piece.offset, piece.length);
    if (part.Empty()) return {};
    for (const FileExtent& e : part.Extents())
      if (!pieces.Append(e.offset, e.length)) return {};
  }
  return pieces;
}

}  // namespace

std::optional<FileLayout> CFileTypeRecovery::FreeStreamPieces(SectorReader& reader, int sectorSize,
                                                              uint64_t firstSector, uint64_t size,
                                                              const JpegGapBounds& bounds,
                                                              WalkResult& decoded,
                                                              FileLayout& decodedLayout) const {
  const FileLayout stream = free_.From(firstSector, size + bounds.maxGap + kPictureLimit);
  if (stream.Empty()) return std::nullopt;
  LayoutByteSource medium(reader, sectorSize, stream);
  // Live files' clusters skipped, the picture may be whole, or hold further than as carved: the
  // first piece may end as far as the walk got.
  const WalkResult walk = WalkJpeg(medium);
  const uint64_t length = walk.length > 0 && walk.length <= medium.Limit() ? walk.length : size;
  // A picture that does not decode so has other deleted files' clusters still in the way: the
  // search looks past them for the rest, and its decode of the plain file is the verdict.
  decodedLayout = stream.Prefix(length);
  const auto split = FindJpegContinuation(medium, length, bounds, &decoded);
  if (decoded.ok()) return decodedLayout;
  if (!split) return std::nullopt;
  FileLayout pieces = PiecesOf(stream, *split);
  if (pieces.Empty()) return std::nullopt;
  return pieces;
}

JpegGapBounds CFileTypeRecovery::BoundsAt(int sectorSize, uint64_t firstSector) const {
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
  return bounds;
}

JpegDecodeAhead::Search CFileTypeRecovery::SearchAhead(int sectorSize) const {
  return [this, sectorSize](SectorReader& reader, uint64_t firstSector, uint64_t size,
                            WalkResult& plainDecode) -> std::optional<std::optional<FileLayout>> {
    if (sectorSize <= 0 || size == 0) return std::nullopt;
    const JpegGapBounds bounds = BoundsAt(sectorSize, firstSector);
    if (!GapSearchRuns(bounds)) return std::nullopt;
    return SearchPieces(reader, sectorSize, firstSector, size, bounds, FileLayout(), plainDecode);
  };
}

std::optional<FileLayout> CFileTypeRecovery::SplitJpeg(SectorReader& reader, int sectorSize,
                                                       uint64_t firstSector, uint64_t size,
                                                       const FileLayout& measured,
                                                       WalkResult& plainDecode) const {
  if (sectorSize <= 0 || size == 0) return std::nullopt;
  const JpegGapBounds bounds = BoundsAt(sectorSize, firstSector);
  // A picture decoded ahead that decodes cleanly (most do) needs no search for a second piece; a
  // broken one searched ahead, measured in one run as here, has the very answer this search
  // would give; any other is searched here.
  if (decodeAhead_ && GapSearchRuns(bounds)) {
    if (const auto ahead = decodeAhead_->Take(firstSector, size)) {
      if (ahead->searched && measured.Empty()) {
        plainDecode = ahead->decode;
        return ahead->pieces;
      }
      if (!ahead->searched && ahead->decode.outcome != WalkResult::Outcome::Broken) {
        plainDecode = ahead->decode;
        return std::nullopt;
      }
    }
  }
  return SearchPieces(reader, sectorSize, firstSector, size, bounds, measured, plainDecode);
}

std::optional<FileLayout> CFileTypeRecovery::SearchPieces(SectorReader& reader, int sectorSize,
                                                          uint64_t firstSector, uint64_t size,
                                                          const JpegGapBounds& bounds,
                                                          const FileLayout& measured,
                                                          WalkResult& plainDecode) const {
  const uint64_t sector = uint64_t(sectorSize);
  const uint64_t span = size + bounds.maxGap + kPictureLimit;
  if (GapSearchRuns(bounds) && !free_.Contiguous(firstSector, span)) {
    // Allocated clusters lie ahead: the rest of the picture is in the free ones.
    FileLayout decodedLayout;
    if (auto pieces = FreeStreamPieces(reader, sectorSize, firstSector, size, bounds, plainDecode, decodedLayout)) {
      // Whole in the run from its first sector: kept without a layout, as when decoded ahead.
      FileLayout plainRun;
      plainRun.Append(firstSector * sector, size);
      if (*pieces == plainRun) return std::nullopt;
      return pieces;
    }
    // The verdict is that of the bytes as measured: the search's decode when it read them the
    // same way (the measured layout through the same kind of source).
    if (!measured.Empty() && measured == decodedLayout) return std::nullopt;
    if (!measured.Empty()) {
      LayoutByteSource carved(reader, sectorSize, measured);
      plainDecode = DecodeJpeg(carved);
    } else {
      ReaderByteSource carved(reader, sectorSize, firstSector, size);
      plainDecode = DecodeJpeg(carved);
    }
    return std::nullopt;
  }
  ReaderByteSource medium(reader, sectorSize, firstSector, span);
  const auto split = FindJpegContinuation(medium, size, bounds, &plainDecode);
  if (!split) return std::nullopt;
  FileLayout raw;
  raw.Append(firstSector * sector, span);
  FileLayout pieces = PiecesOf(raw, *split);
  if (pieces.Empty()) return std::nullopt;
  return pieces;
}

bool CFileTypeRecovery::KeepSplit(const FoundFileRecord& record, const FileLayout& pieces) {
  return store_ && store_->SetLayout(record, pieces);
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
