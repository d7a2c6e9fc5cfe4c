#pragma once

#include <cstddef>
#include <cstdint>
#include <map>

namespace salvora {

// A folder that outgrows its cluster takes the next free one, often far behind the files written
// in between. Without the allocation table such a continuation cluster (directory entries, no "."
// and "..") looks like a folder of its own. This class decides, during the sweep in address
// order, which folder a continuation belongs to, on one of two pieces of evidence:
//   - a live long-name run left open at the very end of a folder's cluster is closed at the start
//     of the continuation: the next part's sequence number and the name's checksum match (see
//     ClosesLongNameRun); the engine asks this of its open fragments;
//   - failing that, the directory sector met just before (no other directory sector between)
//     was the last sector of a folder's cluster, filled to its end without an end mark, and the
//     continuation starts with a whole entry (not the middle of a long name).
// Anything less leaves the cluster to stand alone: a missed join costs a folder name, a wrong one
// mixes two folders.
class DirectoryContinuation {
 public:
  void Clear();

  // The folder cluster a directory cluster continues, or the cluster itself.
  uint32_t FolderOf(int geometry, uint32_t cluster) const;
  void Join(int geometry, uint32_t cluster, uint32_t folder);

  // What the parse of a placed directory sector left: its folder, and whether that sector ends
  // its cluster with no end mark anywhere in it.
  void NoteParsed(int geometry, uint32_t folder, bool fullClusterEnd);
  // A directory sector that could not be placed: the nearest-sector evidence no longer holds.
  void NoteUnplaced() { last_ = Parsed{}; }

  // The folder the cluster starting with sector (a cluster start under geometry, without "." and
  // "..") continues by the nearest-sector evidence; 0 when there is none.
  uint32_t NearestOpenFolder(int geometry, const uint8_t* sector) const;

 private:
  struct Parsed {
    bool valid = false;
    int geometry = -1;
    uint32_t folder = 0;
    bool fullClusterEnd = false;
  };
  static uint64_t Key(int geometry, uint32_t cluster) {
    return (uint64_t(uint32_t(geometry)) << 32) | cluster;
  }

  Parsed last_;
  std::map<uint64_t, uint32_t> joined_;
};

// True when the long-name run whose entries are runBytes (from its opening part to the end of a
// cluster) goes on at the start of sector: the next part number or, after part 1, the 8.3 entry,
// with the run's checksum. Deleted runs never qualify: their part numbers are overwritten.
bool ClosesLongNameRun(const uint8_t* runBytes, size_t runLength, const uint8_t* sector);

// The same for a deleted run, whose part numbers are gone: every entry of the run and the long-name
// entries opening sector are deleted parts with one checksum, only the run's opening part may end
// the name, together they are no more parts than a name has, and a deleted 8.3 entry closes them
// in sector (or the parts fill it). Weaker evidence than ClosesLongNameRun: the caller takes it only from a fragment no
// other one could claim the sector from.
bool MayCloseDeletedRun(const uint8_t* runBytes, size_t runLength, const uint8_t* sector, size_t sectorLength);

}  // namespace salvora
