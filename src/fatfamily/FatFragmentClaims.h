#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <unordered_map>
#include <vector>

namespace salvora {

// Puts back the clusters of deleted files whose allocation chains are gone. Deleting a file frees
// its chain, so only its first cluster and size are left; a file written into holes goes on in the
// next clusters the allocator found free, which are the clusters free now minus those of the other
// deleted files. Each deleted file reserves the run its first cluster and size give it (up to the
// next deleted file's first cluster or a cluster in use); then, in first-cluster order, a file that
// is still short takes the next clusters that are free in the live table and claimed by no one
// (going on at the volume's start after the last cluster, as allocators with a next-free hint do).
class FatFragmentClaims {
 public:
  struct File {
    uint32_t id = 0;        // the caller's name for it
    uint32_t first = 0;     // first cluster (its table entry free)
    uint32_t clusters = 0;  // clusters its size needs
    uint64_t written = 0;   // when it was last written (larger is later), 0 unknown
  };
  struct Run {
    uint32_t first = 0;
    uint32_t count = 0;
    bool operator==(const Run&) const = default;
  };
  using FreeTest = std::function<bool(uint32_t cluster)>;
  // Clusters looked at while completing files, over all files of a scan: past it (a volume of
  // many damaged entries) the files left keep their contiguous runs, so the scan's time holds.
  static constexpr uint64_t kWorkBudget = uint64_t(1) << 26;

  // isFree: the cluster's entry in the live table is free. A file that has to step over more than
  // skipBudget clusters that are not its own to complete has no answer.
  FatFragmentClaims(uint32_t maxCluster, FreeTest isFree, uint32_t skipBudget);

  // Places every file. Of files sharing a first cluster, the one written last holds it (the
  // others' data was written over) and is placed alone; when no one was written last, none has an
  // answer, but the run they start is still reserved.
  void Place(std::vector<File> files);
  // The runs of file id in file order; nullptr when it has no answer (keep its contiguous run).
  const std::vector<Run>* RunsOf(uint32_t id) const;
  // The next free clusters from first on whoever claims them: the layout of a file written when
  // the other deleted files were already gone. Empty when the budget runs out.
  std::vector<Run> FreeOnly(const File& file) const;

 private:
  bool Claimed(uint32_t c, uint32_t& claimEnd) const;
  void Claim(uint32_t first, uint32_t count);
  void Unclaim(uint32_t first, uint32_t count);
  void Reserve(const File& file, bool shared);
  void NoteLastWriters(const std::vector<File>& files);
  bool Complete(const File& file, std::vector<Run>& runs);

  uint32_t maxCluster_;
  FreeTest isFree_;
  uint32_t skipBudget_;
  std::map<uint32_t, uint32_t> claims_;  // first -> end (exclusive), disjoint
  std::unordered_map<uint32_t, uint32_t> firstOwners_;  // first cluster -> files starting there
  std::unordered_map<uint32_t, uint32_t> lastWriter_;   // shared first cluster -> the id written last
  std::unordered_map<uint32_t, std::vector<Run>> runs_;
  uint64_t work_ = 0;
};

}  // namespace salvora
