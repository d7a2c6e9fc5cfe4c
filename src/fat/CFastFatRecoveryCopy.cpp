// Reading file data of the fast FAT engine: recovery of files and folders, and preview.

#include <algorithm>
#include <cstring>
#include <functional>

#include "carving/LayoutByteSource.h"
#include "fat/CFastFatRecovery.h"
#include "output/OutputFiles.h"
#include "output/RecordRecovery.h"
#include "scan/ExtensionLists.h"
#include "scan/ScanLogCatalogue.h"

namespace salvora {

int CFastFatRecovery::CopyLaidOut(const FileLayout& layout, OutputFile* file, uint8_t* buffer,
                                  uint64_t bufferSize, uint64_t& copied, const CopyProgress& progress) {
  const uint64_t total = file ? layout.TotalBytes() : std::min<uint64_t>(layout.TotalBytes(), bufferSize);
  if (total == 0) return progress(100, 0);
  int stopped = 0;
  int result = CopyLayout(*reader_, int(geometry_.sectorSize), layout.Prefix(total),
                          [&](const uint8_t* data, size_t length) {
                            if (file) {
                              if (int rc = file->Write(data, length); rc != 0) return rc;
                            } else {
                              std::memcpy(buffer + copied, data, length);
                            }
                            copied += length;
                            stopped = progress(int(copied * 100 / total), 0);
                            return stopped;
                          });
  if (stopped != 0) return stopped;
  if (result > 0) progress(100, result);
  return result;
}

CFastFatRecovery::ChainRun CFastFatRecovery::FollowRun(uint32_t first, uint32_t limit, uint64_t owed,
                                                       uint32_t clusterBytes) {
  ChainRun chain{1, first};
  while (uint64_t(chain.clusters) * clusterBytes < owed) {
    uint32_t next = 0;
    if ((chain.error = NextCluster(chain.last, next)) != 0) return chain;
    if (next != chain.last + 1 || chain.clusters == limit) {
      chain.next = next;
      chain.needsNext = false;
      return chain;
    }
    chain.last = next;
    ++chain.clusters;
  }
  return chain;
}

int CFastFatRecovery::CopyChain(const FoundFileRecord& record, OutputFile* file, uint8_t* buffer,
                                uint64_t bufferSize, uint64_t& copied, const CopyProgress& progress) {
  copied = 0;
  // A deleted file put back from fragments reads the layout the scan chose for it.
  if (FileLayout layout; store_ && store_->FindLayout(record, layout))
    return CopyLaidOut(layout, file, buffer, bufferSize, copied, progress);
  const uint32_t clusterBytes = record.ClusterSize();
  const uint32_t ss = geometry_.sectorSize;
  if (clusterBytes > kMaxClusterBytes) return kWriteFault;
  if (clusterBytes < ss || clusterBytes % ss != 0) return kInvalidParameter;
  const uint32_t sectorsPerCluster = clusterBytes / ss;
  const uint64_t total = file ? record.FileSize() : std::min<uint64_t>(record.FileSize(), bufferSize);
  if (total == 0) return progress(100, 0);

  // Clusters that follow one another in the chain are read together, up to one 64 KiB piece: a
  // card or stick answers one large read far sooner than many one-cluster ones.
  const uint32_t runLimit = std::max<uint32_t>(1, uint32_t(SectorReader::kPieceBytes / clusterBytes));
  std::vector<uint8_t> run(size_t(runLimit) * clusterBytes);
  uint64_t remaining = total;
  uint32_t c = record.ObjectId();
  int result = 0;
  while (remaining > 0) {
    uint64_t sector;
    if (c == 0 && !geometry_.fat32) sector = record.PartitionStart() + record.DataAreaStart() - geometry_.rootSectors;
    else if (c < 2) { result = kReadFault; break; }
    else sector = record.PartitionStart() + record.DataAreaStart() + uint64_t(c - 2) * sectorsPerCluster;
    const ChainRun chain = c < 2 ? ChainRun{1, c} : FollowRun(c, runLimit, remaining, clusterBytes);
    // Only the sectors still owed are read, so a file ending near the source's end is whole.
    const uint32_t want =
        uint32_t(std::min<uint64_t>(uint64_t(chain.clusters) * sectorsPerCluster, (remaining + ss - 1) / ss));
    uint32_t got = 0;
    int rc = ReadSectors(run.data(), want, sector, got);
    if (got == 0) {
      result = rc ? rc : kReadFault;
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
    if (remaining == 0) break;
    // A run read only in part (a bad sector): what follows would land at the wrong offset.
    if (got < want) {
      result = rc ? rc : kReadFault;
      break;
    }
    if (chain.error != 0) {
      result = chain.error;
      break;
    }
    uint32_t next = chain.next;
    if (chain.needsNext && (result = NextCluster(chain.last, next)) != 0) break;
    // The chain ended early (the clusters after a fragment belong to other files): what was
    // copied is all that can be recovered; the file is done.
    if (next == 0) return progress(100, 0);
    c = next;
  }
  if (result > 0) progress(100, result);
  return result;
}

int CFastFatRecovery::RecoverFile(const FoundFileRecord* record, const std::string& destination,
                                  int baseSeparatorCount) {
  if (record && !open_) return openError_;
  return RecoverRecord(*this, record, destination, baseSeparatorCount, recoveryCallback_, userData_,
                       std::bind_front(&CFastFatRecovery::CopyChain, this));
}

int CFastFatRecovery::ReadForPreview(const FoundFileRecord* record, std::string& tempPath, uint8_t* buffer,
                                     int& size, PreviewProgressCallback callback, void* userData) {
  if (record && !open_) return openError_;
  return PreviewRecord(record, tempPath, buffer, size, callback, userData,
                       std::bind_front(&CFastFatRecovery::CopyChain, this));
}

}  // namespace salvora
