// Reading file data of the deep exFAT engine: the allocation table of a reformatted volume says
// nothing about old files, so a file is its clusters in one run from its first cluster (exact for
// the files exFAT itself keeps in one run); folders are recovered with their subtree.
#include "carving/SectorRunCopy.h"
#include "exfat/CProfessionalExfatRecovery.h"
#include "output/FolderRecovery.h"
#include "output/OutputFiles.h"
#include "output/PreviewFile.h"
#include "platform/ErrorCodes.h"

#include <algorithm>
#include <cstring>

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
  const uint64_t first = r.PartitionStart() + r.DataAreaStart() +
                         uint64_t(r.ObjectId() - 2) * (clusterBytes / sectorSize_);
  return CopySectorRun(*reader_, int(sectorSize_), first, bytes, sink);
}

int CProfessionalExfatRecovery::RecoverOneFile(const FoundFileRecord& r, const std::string& destination) {
  const CopyProgress progress{recoveryCallback_, nullptr, userData_, &destination};
  return RecoverIntoFile(destination, r.FileSize(), progress, [&](OutputFile& out, const CopyProgress& held) {
    return CopyRun(r, r.FileSize(), [&](const uint8_t* data, size_t length) {
      if (int rc = out.Write(data, length); rc != 0) return rc;
      return held(Percent(out.BytesWritten(), r.FileSize()), 0);
    });
  });
}

int CProfessionalExfatRecovery::RecoverFile(const FoundFileRecord* record, const std::string& destination,
                                            int baseSeparatorCount) {
  if (!record) return kInvalidParameter;
  if (record->IsFolder())
    return RecoverFolderTree(*this, *record, destination, baseSeparatorCount,
                             [&](const FoundFileRecord& file, const std::string& path) {
                               return RecoverOneFile(file, path);
                             });
  return RecoverOneFile(*record, destination);
}

int CProfessionalExfatRecovery::ReadForPreview(const FoundFileRecord* record, std::string& tempPath,
                                               uint8_t* buffer, int& size, PreviewProgressCallback callback,
                                               void* userData) {
  if (!record) return kInvalidParameter;
  const CopyProgress progress{nullptr, callback, userData, nullptr};
  return PreparePreview(record->Name(), tempPath, buffer, size,
                        [&](OutputFile* out, uint8_t* into, uint64_t limit, uint64_t& copied) {
                          copied = 0;
                          const uint64_t total = out ? record->FileSize() : std::min(record->FileSize(), limit);
                          return CopyRun(*record, total, [&](const uint8_t* data, size_t length) {
                            if (out) {
                              if (int rc = out->Write(data, length); rc != 0) return rc;
                            } else {
                              std::memcpy(into + copied, data, length);
                            }
                            copied += length;
                            return progress(Percent(copied, total), 0);
                          });
                        });
}

}  // namespace salvora
