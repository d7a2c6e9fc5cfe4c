// Reading file data of the fast exFAT engine: where a found file lies, its recovery and preview.
#include <algorithm>
#include <cstring>
#include <functional>

#include "exfat/CFastExfatRecovery.h"
#include "exfat/ExfatBootSector.h"
#include "exfat/ExfatDirectoryEntry.h"
#include "output/OutputFiles.h"
#include "output/RecordRecovery.h"

namespace salvora {
namespace {

constexpr size_t kEntry = ExfatDirectoryEntry::kSize;
// The longest entry set: a file entry, its stream extension and 17 name entries, plus benign
// secondaries that may follow; 4 KiB holds what a sector can start.
constexpr size_t kSetReadBytes = 4096 + 19 * kEntry;
constexpr uint32_t kCopyClusters = 32;

uint64_t TotalClusters(const std::vector<ExfatRun>& runs) {
  uint64_t total = 0;
  for (const ExfatRun& run : runs) total += run.clusterCount;
  return total;
}

}  // namespace

int CFastExfatRecovery::FindEntrySet(const FoundFileRecord& record, ExfatEntrySet& set) {
  const uint32_t sectors = uint32_t((kSetReadBytes + sectorSize_ - 1) / sectorSize_);
  std::vector<uint8_t> bytes(size_t(sectors) * sectorSize_);
  uint32_t got = 0;
  ReadSectors(bytes.data(), sectors, record.EntrySector(), got);
  if (got == 0) {  // the last sectors of the source: one is enough to start a set
    if (int rc = ReadSectors(bytes.data(), 1, record.EntrySector(), got); got == 0) return rc ? rc : kReadFault;
  }
  const ByteView view(bytes.data(), size_t(got) * sectorSize_);
  for (size_t at = 0; at < sectorSize_ && view.Has(at, kEntry); at += kEntry) {
    if (!ExfatDirectoryEntry(view.Sub(at, kEntry)).Is(ExfatDirectoryEntry::kFile)) continue;
    if (ExfatEntrySet::Parse(view.Sub(at, view.size() - at), upcase_, set) != ExfatEntrySet::Status::Ok) continue;
    if (set.FirstCluster() == record.ObjectId() && set.DataLength() == record.FileSize() &&
        set.Name().starts_with(record.Name()))
      return 0;
  }
  return kReadFault;
}

int CFastExfatRecovery::PlanData(const FoundFileRecord& record, DataPlan& plan) {
  plan = DataPlan();
  if (!open_) return openError_;
  ExfatEntrySet set;
  // Without its entry set (a folder split over clusters) the file is taken as chained, all valid.
  const bool haveSet = FindEntrySet(record, set) == 0;
  const bool noFatChain = haveSet && set.NoFatChain();
  plan.validBytes = haveSet ? std::min(set.ValidDataLength(), set.DataLength()) : record.FileSize();
  const uint64_t need = (plan.validBytes + clusterBytes_ - 1) / clusterBytes_;
  const uint32_t first = record.ObjectId();
  if (need == 0) return 0;
  if (!table_.IsDataCluster(first)) {
    plan.whole = false;
    return 0;
  }
  if (noFatChain) {
    const uint64_t left = uint64_t(clusterCount_) + ExfatBootSector::kFirstCluster - first;
    plan.runs.push_back({first, uint32_t(std::min(need, left))});
    plan.whole = left >= need;
    return 0;
  }
  // The chain, where the table still holds it: a live file's, or a deleted one whose clusters
  // are all still free.
  table_.Chain(first, need, plan.runs);
  bool chainHolds = TotalClusters(plan.runs) == need;
  for (size_t i = 0; chainHolds && record.IsDeleted() && i < plan.runs.size(); ++i)
    for (uint32_t k = 0; chainHolds && k < plan.runs[i].clusterCount; ++k)
      chainHolds = allocation_.IsFree(plan.runs[i].firstCluster + k) || plan.runs[i].firstCluster + k == first;
  if (chainHolds) return 0;
  // The chain was cleared with the file: it goes on in the clusters the bitmap leaves free and
  // no deleted one-run file claims, in order.
  plan.runs.assign(1, {first, 1});
  uint64_t have = 1;
  for (uint32_t c = first + 1; have < need; ++have, ++c) {
    c = claimed_.NextFree(c);
    if (c == 0) break;
    AppendCluster(plan.runs, c);
  }
  plan.whole = have == need;
  return 0;
}

int CFastExfatRecovery::CopyData(const FoundFileRecord& record, OutputFile* file, uint8_t* buffer,
                                 uint64_t bufferSize, uint64_t& copied, const CopyProgress& progress) {
  copied = 0;
  const uint64_t total = file ? record.FileSize() : std::min<uint64_t>(record.FileSize(), bufferSize);
  if (total == 0) return progress(100, 0);
  DataPlan plan;
  if (int rc = PlanData(record, plan); rc != 0) return rc;
  std::vector<uint8_t> chunk(size_t(kCopyClusters) * clusterBytes_);
  auto emit = [&](const uint8_t* bytes, uint64_t n) {
    int rc = 0;
    if (file) rc = file->Write(bytes, size_t(n));
    else std::memcpy(buffer + copied, bytes, size_t(n));
    if (rc == 0) copied += n;
    return rc;
  };
  int result = 0;
  const uint64_t dataEnd = std::min(plan.validBytes, total);
  for (const ExfatRun& run : plan.runs) {
    for (uint32_t done = 0; done < run.clusterCount && copied < dataEnd && result == 0;) {
      const uint32_t clusters = std::min(kCopyClusters, run.clusterCount - done);
      const uint64_t want = std::min<uint64_t>(uint64_t(clusters) * clusterBytes_, dataEnd - copied);
      const uint32_t sectors = uint32_t((want + sectorSize_ - 1) / sectorSize_);
      uint32_t got = 0;
      const int rc = ReadSectors(chunk.data(), sectors, ClusterSector(run.firstCluster + done), got);
      const uint64_t n = std::min<uint64_t>(uint64_t(got) * sectorSize_, want);
      if (n > 0) result = emit(chunk.data(), n);
      // A piece read only in part (a bad sector): what follows would land at the wrong offset.
      if (result == 0 && got < sectors) result = rc ? rc : kReadFault;
      done += clusters;
      if (int stop = progress(int(copied * 100 / total), 0); stop != 0) return stop;
    }
  }
  // Past the valid data length the file reads as zeros, whatever the clusters hold.
  if (result == 0 && copied == plan.validBytes && plan.whole) {
    std::fill(chunk.begin(), chunk.end(), 0);
    while (result == 0 && copied < total) result = emit(chunk.data(), std::min<uint64_t>(chunk.size(), total - copied));
  }
  if (result > 0) progress(100, result);
  else if (result == 0) result = progress(100, 0);
  return result;
}

int CFastExfatRecovery::RecoverFile(const FoundFileRecord* record, const std::string& destination,
                                    int baseSeparatorCount) {
  if (record && !open_) return openError_;
  return RecoverRecord(*this, record, destination, baseSeparatorCount, recoveryCallback_, userData_,
                       std::bind_front(&CFastExfatRecovery::CopyData, this));
}

int CFastExfatRecovery::ReadForPreview(const FoundFileRecord* record, std::string& tempPath, uint8_t* buffer,
                                       int& size, PreviewProgressCallback callback, void* userData) {
  if (record && !open_) return openError_;
  return PreviewRecord(record, tempPath, buffer, size, callback, userData,
                       std::bind_front(&CFastExfatRecovery::CopyData, this));
}

}  // namespace salvora
