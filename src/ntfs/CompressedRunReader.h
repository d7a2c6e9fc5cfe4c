#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ntfs/DataStream.h"
#include "storage/SectorReader.h"

namespace salvora {

// What a data copy does with each piece; a nonzero result ends the copy.
using PieceSink = int (*)(void* context, const uint8_t* data, size_t length, uint64_t done,
                          uint64_t total);

// Reads the data of a compressed attribute one compression unit at a time. A unit whose clusters
// are all on the medium is stored as is; one without any is zeros; one with some clusters and
// a sparse tail holds LZNT1 chunks in those clusters.
class CompressedRunReader {
 public:
  // A unit larger than this is not believed (volumes use 64 KiB).
  static constexpr uint64_t kMaxUnitBytes = 4u << 20;

  CompressedRunReader(SectorReader& reader, int bytesPerSector, uint64_t partitionStart,
                      uint64_t clusterSize)
      : reader_(reader), bps_(uint64_t(bytesPerSector)), partitionStart_(partitionStart),
        clusterSize_(clusterSize) {}

  // Hands total bytes of the decompressed data to sink in pieces of one unit at most. 0, the
  // sink's answer, a read error, or kReadFault for runs that end early or a corrupt unit (the
  // bytes before it have been handed over).
  int Copy(const StreamLayout& layout, uint64_t total, PieceSink sink, void* context);

 private:
  // One stretch of the attribute's clusters: first cluster inside the file, count, and where it
  // lies on the volume (sparse stretches lie nowhere).
  struct Extent {
    uint64_t vcn = 0;
    uint64_t length = 0;
    int64_t lcn = 0;
    bool sparse = false;
  };
  static bool BuildExtents(const RunList& runs, std::vector<Extent>& extents);
  // Fills unit_ with the decompressed bytes of unit u; covered tells whether the runs reach it.
  // 0 or an error (the unit then holds what could be read, zeros for the rest).
  int ReadUnit(const std::vector<Extent>& extents, uint64_t u, uint32_t unitClusters, bool& covered);
  // Appends count clusters, from skip clusters past lcn, to packed_ (zeros where unreadable).
  int ReadClusters(int64_t lcn, uint64_t skip, uint64_t count);

  SectorReader& reader_;
  uint64_t bps_;
  uint64_t partitionStart_;
  uint64_t clusterSize_;
  std::vector<uint8_t> unit_;    // one decompressed unit
  std::vector<uint8_t> packed_;  // the clusters a unit has on the medium
  size_t cursor_ = 0;            // the first extent that may reach the unit being read
};

}  // namespace salvora
