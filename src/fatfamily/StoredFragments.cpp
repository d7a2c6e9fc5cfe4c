#include "fatfamily/StoredFragments.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "carving/CheckContent.h"
#include "carving/LayoutByteSource.h"
#include "fatfamily/FatFragmentClaims.h"
#include "scan/ExtensionLists.h"

namespace salvora {
namespace {

// Clusters a file may step over to complete, as the quick scan allows.
constexpr uint32_t kSkipClusters = 1u << 18;
// Files placed per volume: past it (a hostile medium's many entries) the rest stay contiguous.
constexpr size_t kMaxPlacedFiles = 1u << 16;

struct Volume {
  uint64_t dataStart = 0;  // sector of cluster 2
  uint32_t clusterBytes = 0;
  bool operator<(const Volume& o) const {
    return std::tie(dataStart, clusterBytes) < std::tie(o.dataStart, o.clusterBytes);
  }
};

FileLayout LayoutOf(const FoundFileRecord& r, const std::vector<FatFragmentClaims::Run>& runs, uint32_t sectorSize) {
  FileLayout layout;
  const uint64_t clusterBytes = r.ClusterSize(), dataStart = r.PartitionStart() + r.DataAreaStart();
  uint64_t left = r.FileSize();
  for (const FatFragmentClaims::Run& run : runs) {
    if (left == 0) break;
    const uint64_t bytes = std::min<uint64_t>(left, uint64_t(run.count) * clusterBytes);
    const uint64_t sector = dataStart + uint64_t(run.first - 2) * (clusterBytes / sectorSize);
    if (!layout.Append(sector * sectorSize, bytes)) return {};
    left -= bytes;
  }
  return left == 0 ? layout : FileLayout();
}

uint64_t FirstSectorOf(const FoundFileRecord& r, uint32_t sectorSize) {
  return r.PartitionStart() + r.DataAreaStart() + uint64_t(r.ObjectId() - 2) * (r.ClusterSize() / sectorSize);
}

// How far the file's content holds laid out so: its size when intact, 0 when unknown.
uint64_t HoldsTo(SectorReader& reader, uint32_t sectorSize, const FoundFileRecord& r, const FileLayout& layout) {
  if (layout.Empty()) return 0;
  LayoutByteSource bytes(reader, int(sectorSize), layout);
  const ContentVerdict verdict = CheckContent(LowerExtensionOf(std::string(r.Name())), bytes);
  return verdict.intact() ? r.FileSize() : verdict.damaged() ? verdict.damagedAt : 0;
}

}  // namespace

PlaceProgress SweepEndProgress(ScanProgressCallback callback, void* userData, int weight) {
  if (!callback) return {};
  return [=](uint64_t, uint64_t) { return callback(userData, 110, weight, 0, 0, 0, 0, 0); };
}

int PlaceStoredFragments(FoundFileStore& store, SectorReader& reader, uint32_t sectorSize,
                         const PlaceProgress& progress, const std::set<uint64_t>& folderSectors,
                         const FreeSectorTest& liveFree) {
  if (sectorSize == 0) return 0;
  std::map<Volume, std::vector<uint32_t>> volumes;  // record numbers of the candidates
  const uint64_t sourceBytes = reader.TotalSectors() * sectorSize;
  // Records are numbered from 1; a resumed scan's log holds those of the run before it too.
  for (uint32_t n = 1; n <= store.TotalRecords() && n != 0; ++n) {
    FoundFileRecord r;
    // Live entries too: after a quick format their chains are gone as well, and they hold clusters.
    if (store.ReadRecord(n, r) != 0 || r.IsFolder() || r.ContentCheck() != 1) continue;
    const uint32_t clusterBytes = r.ClusterSize();
    if (clusterBytes < sectorSize || clusterBytes % sectorSize != 0 || r.ObjectId() < 2) continue;
    if (liveFree && !liveFree(FirstSectorOf(r, sectorSize))) continue;
    auto& files = volumes[{r.PartitionStart() + r.DataAreaStart(), clusterBytes}];
    if (files.size() < kMaxPlacedFiles) files.push_back(n);
  }
  std::vector<std::pair<FatFragmentClaims, const std::vector<uint32_t>*>> placed;
  uint64_t total = 0, done = 0;
  for (const auto& [volume, numbers] : volumes) {
    if (volume.dataStart * sectorSize >= sourceBytes) continue;
    const uint64_t clusters = (sourceBytes - volume.dataStart * sectorSize) / volume.clusterBytes;
    const uint32_t maxCluster = uint32_t(std::min<uint64_t>(clusters + 1, 0x0FFFFFF6));
    std::vector<FatFragmentClaims::File> files;
    for (uint32_t n : numbers) {
      FoundFileRecord r;
      if (store.ReadRecord(n, r) != 0) continue;
      const uint64_t need = (r.FileSize() + volume.clusterBytes - 1) / volume.clusterBytes;
      files.push_back({n, r.ObjectId(), uint32_t(std::min<uint64_t>(need, UINT32_MAX)), r.WriteTime()});
    }
    // Free: what the live map holds free (every cluster without one), but for folders' clusters.
    const uint64_t perCluster = volume.clusterBytes / sectorSize, dataStart = volume.dataStart;
    auto isFree = [&folderSectors, &liveFree, perCluster, dataStart](uint32_t c) {
      if (c < 2) return true;
      const uint64_t sector = dataStart + uint64_t(c - 2) * perCluster;
      return !folderSectors.count(sector) && (!liveFree || liveFree(sector));
    };
    FatFragmentClaims claims(maxCluster, isFree, kSkipClusters);
    claims.Place(std::move(files));
    for (uint32_t n : numbers)
      if (const auto* runs = claims.RunsOf(n); runs && runs->size() >= 2) ++total;
    placed.emplace_back(std::move(claims), &numbers);
  }
  // Reading the files in pieces is the long part: each is decoded laid out both ways.
  for (const auto& [claims, numbers] : placed) {
    for (uint32_t n : *numbers) {
      const auto* runs = claims.RunsOf(n);
      FoundFileRecord r;
      if (!runs || runs->size() < 2) continue;
      if (progress)
        if (const int answer = progress(done, total); answer != 0) return answer;
      ++done;
      if (store.ReadRecord(n, r) != 0 || !ContentCheckFor(LowerExtensionOf(std::string(r.Name())))) continue;
      const uint32_t clusterBytes = r.ClusterSize();
      const FileLayout pieces = LayoutOf(r, *runs, sectorSize);
      const uint32_t need = uint32_t((r.FileSize() + clusterBytes - 1) / clusterBytes);
      // The pieces hold past the contiguous run's break: whole, or up to damage of their own
      // (a zeroed stretch) a cluster or more further on.
      const uint64_t contiguous = HoldsTo(reader, sectorSize, r, LayoutOf(r, {{r.ObjectId(), need}}, sectorSize));
      if (contiguous < r.FileSize() && HoldsTo(reader, sectorSize, r, pieces) >= contiguous + clusterBytes)
        store.SetLayout(r, pieces);
    }
  }
  return 0;
}

}  // namespace salvora
