// Reading file data of the deep FAT engine: files are taken as contiguous clusters from their
// first cluster, since no allocation table can be trusted; folders are recovered with their
// subtree, and files previewed.

#include <algorithm>
#include <cstring>
#include <functional>

#include "carving/LayoutByteSource.h"
#include "fat/CProfessionalFatRecovery.h"
#include "output/OutputFiles.h"
#include "output/RecordRecovery.h"
#include "scan/ExtensionLists.h"
#include "scan/ScanLogCatalogue.h"

namespace salvora {

// A file put back from its pieces (see PlaceFragmentedFiles): its first `total` bytes.
int CProfessionalFatRecovery::CopyPieces(const FileLayout& layout, OutputFile* file, uint8_t* buffer, uint64_t total,
                                         uint64_t& copied, const CopyProgress& progress) {
  FileLayout head;
  uint64_t left = total;
  for (const FileExtent& e : layout.Extents()) {
    if (left == 0) break;
    const uint64_t take = std::min(left, e.length);
    if (!head.Append(e.offset, take)) return kInvalidParameter;
    left -= take;
  }
  int stop = 0;
  int result = CopyLayout(*reader_, int(sectorSize_), head, [&](const uint8_t* data, size_t n) {
    if (file) {
      if (int rc = file->Write(data, n); rc != 0) return rc;
    } else {
      std::memcpy(buffer + copied, data, n);
    }
    copied += n;
    stop = progress(int(copied * 100 / total), 0);
    return stop;
  });
  if (stop != 0) return stop;
  if (result == 0 && copied < total) result = kReadFault;
  if (result > 0) progress(100, result);
  return result;
}

int CProfessionalFatRecovery::CopyContiguous(const FoundFileRecord& r, OutputFile* file,
                                             uint8_t* buffer, uint64_t bufferSize,
                                             uint64_t& copied, const CopyProgress& progress) {
  copied = 0;
  if (!reader_) return kReadFault;
  const uint32_t clusterBytes = r.ClusterSize();
  const uint32_t ss = sectorSize_;
  if (clusterBytes > kMaxClusterBytes) return kWriteFault;
  if (clusterBytes < ss || clusterBytes % ss != 0) return kInvalidParameter;
  const uint32_t spc = clusterBytes / ss;
  const uint64_t total = file ? r.FileSize() : std::min<uint64_t>(r.FileSize(), bufferSize);
  if (total == 0) return progress(100, 0);
  if (FileLayout layout; store_ && store_->FindLayout(r, layout)) return CopyPieces(layout, file, buffer, total, copied, progress);

  // The clusters follow one another, so they are read up to one 64 KiB piece at a time.
  const uint32_t runLimit = std::max<uint32_t>(1, uint32_t(SectorReader::kPieceBytes / clusterBytes));
  std::vector<uint8_t> run(size_t(runLimit) * clusterBytes);
  uint64_t remaining = total;
  uint64_t c = r.ObjectId();
  const uint64_t dataStart = r.PartitionStart() + r.DataAreaStart();
  int result = 0;
  while (remaining > 0) {
    uint64_t sector;
    if (c < 2) {
      sector = dataStart >= DeepFatGeometry::kGuessedRootSectors
                   ? dataStart - DeepFatGeometry::kGuessedRootSectors
                   : 0;
    } else {
      sector = dataStart + (c - 2) * spc;
    }
    const uint32_t clusters = c < 2 ? 1 : runLimit;  // the guessed fixed root is read alone
    // Only the sectors still owed are read, so a file ending near the source's end is whole.
    const uint32_t want = uint32_t(std::min<uint64_t>(uint64_t(clusters) * spc, (remaining + ss - 1) / ss));
    uint32_t got = 0;
    reader_->ReadSectors(run.data(), want, sector, int(ss), got);
    if (got == 0) {
      result = kReadFault;
      break;
    }
    const uint64_t n = std::min<uint64_t>(uint64_t(got) * ss, remaining);
    if (file) {
      if ((result = file->Write(run.data(), size_t(n))) != 0) break;
    } else {
      std::memcpy(buffer + copied, run.data(), size_t(n));
    }
    copied += n;
    remaining -= n;
    if (int stop = progress(int((total - remaining) * 100 / total), 0); stop != 0) return stop;
    if (got < want && remaining > 0) {
      result = kReadFault;
      break;
    }
    if (c < 2) c = 2;  // the fixed root is followed by cluster 2
    else c += clusters;
  }
  if (result > 0) progress(100, result);
  return result;
}

int CProfessionalFatRecovery::RecoverFile(const FoundFileRecord* record, const std::string& destination,
                                          int baseSeparatorCount) {
  return RecoverRecord(*this, record, destination, baseSeparatorCount, recoveryCallback_, userData_,
                       std::bind_front(&CProfessionalFatRecovery::CopyContiguous, this));
}

int CProfessionalFatRecovery::ReadForPreview(const FoundFileRecord* record, std::string& tempPath, uint8_t* buffer,
                                             int& size, PreviewProgressCallback callback, void* userData) {
  return PreviewRecord(record, tempPath, buffer, size, callback, userData,
                       std::bind_front(&CProfessionalFatRecovery::CopyContiguous, this));
}

}  // namespace salvora
