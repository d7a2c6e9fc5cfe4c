// Deleted files whose allocation chains are gone: where their clusters lie (FatFragmentClaims),
// checked by their content where the format allows, and recorded in the log's layouts so that
// recovery, preview and a reopened scan read the same bytes.
#include <algorithm>

#include "carving/CheckContent.h"
#include "carving/LayoutByteSource.h"
#include "fat/CFastFatRecovery.h"
#include "scan/ContainFailure.h"
#include "scan/EveryCore.h"
#include "scan/ExtensionLists.h"

namespace salvora {

void CFastFatRecovery::NoteChainless(uint32_t number, uint32_t cluster, uint64_t size, uint32_t written,
                                     const std::string& name) {
  uint32_t entry = 1;
  if (size == 0 || cluster < 2 || cluster > geometry_.MaxCluster()) return;
  if (FatEntry(cluster, entry) != 0 || entry != 0) return;
  chainless_.push_back({number, cluster, size, written, LowerExtensionOf(name)});
}

FileLayout CFastFatRecovery::LayoutOfRuns(const std::vector<FatFragmentClaims::Run>& runs,
                                          uint64_t size) const {
  FileLayout layout;
  const uint64_t clusterBytes = geometry_.ClusterBytes();
  for (const FatFragmentClaims::Run& r : runs) {
    if (size == 0) break;
    const uint64_t bytes = std::min<uint64_t>(size, uint64_t(r.count) * clusterBytes);
    if (!layout.Append(ClusterSector(r.first) * geometry_.sectorSize, bytes)) return {};
    size -= bytes;
  }
  return size == 0 ? layout : FileLayout();
}

// The claim rule's layout, unless its content fails the format's check and another candidate (the
// next free clusters whoever claims them, then the contiguous run) passes it. False when the file
// needs no layout: no answer, or the plain run from its first cluster.
bool CFastFatRecovery::ChooseLayout(const FatFragmentClaims& claims, uint32_t index, SectorReader& reader,
                                    FileLayout& chosen) const {
  const Chainless& f = chainless_[index];
  const auto* claimed = claims.RunsOf(index);
  if (!claimed || claimed->size() < 2) return false;
  chosen = LayoutOfRuns(*claimed, f.size);
  if (chosen.Empty()) return false;
  if (!ContentCheckFor(f.extension)) return true;
  const uint32_t clusters = uint32_t((f.size + geometry_.ClusterBytes() - 1) / geometry_.ClusterBytes());
  const FatFragmentClaims::File file{index, f.cluster, clusters};
  const std::vector<FatFragmentClaims::Run> contiguous{{f.cluster, clusters}};
  for (const FileLayout& candidate :
       {chosen, LayoutOfRuns(claims.FreeOnly(file), f.size), LayoutOfRuns(contiguous, f.size)}) {
    if (candidate.Empty()) continue;
    LayoutByteSource bytes(reader, int(geometry_.sectorSize), candidate);
    if (CheckContent(f.extension, bytes).intact()) {
      chosen = candidate;
      return true;
    }
  }
  return true;
}

int CFastFatRecovery::PlaceChainlessFiles() {
  if (chainless_.empty()) return 0;
  const uint64_t clusterBytes = geometry_.ClusterBytes();
  if (clusterBytes == 0) return 0;
  std::vector<FatFragmentClaims::File> files;
  files.reserve(chainless_.size());
  for (uint32_t i = 0; i < chainless_.size(); ++i) {
    const uint64_t clusters = (chainless_[i].size + clusterBytes - 1) / clusterBytes;
    files.push_back({i, chainless_[i].cluster, uint32_t(std::min<uint64_t>(clusters, UINT32_MAX)), chainless_[i].written});
  }
  FatFragmentClaims claims(
      geometry_.MaxCluster(),
      [this](uint32_t c) {
        uint32_t entry = 1;
        return FatEntry(c, entry) == 0 && entry == 0;
      },
      kFragmentSkipClusters);
  claims.Place(std::move(files));
  // Each file's candidates are decoded on a core of its own; the store is written here, in order.
  std::vector<std::optional<FileLayout>> layouts(chainless_.size());
  ForEachOnEveryCore(
      chainless_.size(),
      [this] {
        auto reader = std::make_unique<SectorReader>();
        reader->Share(*reader_);
        return reader;
      },
      [&](size_t i, std::unique_ptr<SectorReader>& reader) {
        // A file whose check fails outright (memory) keeps its contiguous run.
        layouts[i] = ContainFailure([&] {
          FileLayout layout;
          return ChooseLayout(claims, uint32_t(i), *reader, layout) ? std::optional<FileLayout>(std::move(layout))
                                                                   : std::nullopt;
        }, [] { return std::optional<FileLayout>(); });
      });
  for (uint32_t i = 0; i < chainless_.size(); ++i) {
    if (!layouts[i]) continue;
    FoundFileRecord record;
    if (store_->ReadRecord(chainless_[i].number, record) == 0) store_->SetLayout(record, *layouts[i]);
  }
  chainless_.clear();
  return 0;
}

}  // namespace salvora
