// Reading file data of the deep exFAT engine: the allocation table of a reformatted volume says
// nothing about old files, so a file is its clusters in one run from its first cluster (exact for
// the files exFAT itself keeps in one run), or the pieces the scan put it back from (a layout in
// the store); folders are recovered with their subtree.
#include "carving/LayoutByteSource.h"
#include "carving/SectorRunCopy.h"
#include "exfat/CProfessionalExfatRecovery.h"
#include "output/OutputFiles.h"
#include "output/RecordRecovery.h"
#include "platform/ErrorCodes.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace salvora {
namespace {

int Percent(uint64_t done, uint64_t total) { return total ? int(done * 100 / total) : 100; }

}  // namespace

int CProfessionalExfatRecovery::CopyRun(const FoundFileRecord& r, uint64_t bytes,
                                        const std::function<int(const uint8_t*, size_t)>& sink) {
  if (!reader_) return kReadFault;
  const uint32_t clusterBytes = r.ClusterSize();
  if (bytes == 0) return kOk;
  if (r.ObjectId() < 2 || clusterBytes < sectorSize_ || clusterBytes % sectorSize_ != 0 ||
      clusterBytes > kMaxClusterBytes)
    return kInvalidParameter;
  if (FileLayout layout; store_ && store_->FindLayout(r, layout)) {
    FileLayout head;
    for (const FileExtent& e : layout.Extents()) {
      const uint64_t take = std::min(bytes - head.TotalBytes(), e.length);
      if (take == 0) break;
      if (!head.Append(e.offset, take)) return kInvalidParameter;
    }
    return CopyLayout(*reader_, int(sectorSize_), head, sink);
  }
  const uint64_t first = r.PartitionStart() + r.DataAreaStart() +
                         uint64_t(r.ObjectId() - 2) * (clusterBytes / sectorSize_);
  return CopySectorRun(*reader_, int(sectorSize_), first, bytes, sink);
}

int CProfessionalExfatRecovery::CopyData(const FoundFileRecord& r, OutputFile* file, uint8_t* buffer,
                                         uint64_t limit, uint64_t& copied, const CopyProgress& progress) {
  copied = 0;
  const uint64_t total = file ? r.FileSize() : std::min(r.FileSize(), limit);
  return CopyRun(r, total, [&](const uint8_t* data, size_t length) {
    if (file) {
      if (int rc = file->Write(data, length); rc != 0) return rc;
    } else {
      std::memcpy(buffer + copied, data, length);
    }
    copied += length;
    return progress(Percent(copied, total), 0);
  });
}

int CProfessionalExfatRecovery::RecoverFile(const FoundFileRecord* record, const std::string& destination,
                                            int baseSeparatorCount) {
  return RecoverRecord(*this, record, destination, baseSeparatorCount, recoveryCallback_, userData_,
                       std::bind_front(&CProfessionalExfatRecovery::CopyData, this));
}

int CProfessionalExfatRecovery::ReadForPreview(const FoundFileRecord* record, std::string& tempPath,
                                               uint8_t* buffer, int& size, PreviewProgressCallback callback,
                                               void* userData) {
  return PreviewRecord(record, tempPath, buffer, size, callback, userData,
                       std::bind_front(&CProfessionalExfatRecovery::CopyData, this));
}

}  // namespace salvora
