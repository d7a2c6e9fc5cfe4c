#pragma once

#include <cstdint>
#include <map>

#include "ntfs/DataRun.h"

namespace salvora {

// Where the records of one file table lie, as far as the deep scan knows: the runs of a $MFT met
// on the medium, or the assumption that the table is contiguous from a start sector.
struct MftLayout {
  bool contiguous = false;
  uint64_t contiguousStart = 0;  // absolute sector of record 0 when contiguous
  RunList runs;                  // clusters relative to the volume otherwise

  static MftLayout Contiguous(uint64_t start) {
    MftLayout layout;
    layout.contiguous = true;
    layout.contiguousStart = start;
    return layout;
  }
};

// The absolute sector of record n under layout, for a volume at volumeStart with spc sectors per
// cluster. The volume start (a boot sector, never a FILE record) when no run holds the record.
uint64_t LocateRecord(const MftLayout& layout, uint64_t volumeStart, uint32_t spc,
                      uint32_t sectorsPerRecord, uint64_t n);

// The file tables met during a sweep, keyed by the absolute sector of their record 0.
class MftMap {
 public:
  void Clear() { tables_.clear(); }
  void Set(uint64_t recordZeroSector, RunList runs) { tables_[recordZeroSector] = std::move(runs); }
  const std::map<uint64_t, RunList>& Tables() const { return tables_; }

  // The key of the first table (in ascending order) that puts record k exactly at sector s when
  // clusters are spc sectors; its runs go to layout. 0 when no table does.
  uint64_t FindTableForRecord(uint64_t k, uint64_t s, uint32_t spc, uint32_t sectorsPerRecord,
                              RunList& layout) const;

  // The volume start of record k found at sector s, and the layout that places its relatives:
  // the mapped table that holds it, else a contiguous table ending at s (whose volume start is a
  // mapped table's when that table's record 0 lies where the contiguous one begins). defaultStart
  // is used when no table's first cluster tells the volume start.
  uint64_t VolumeStartForRecord(uint64_t s, uint64_t k, uint32_t spc, uint32_t sectorsPerRecord,
                                uint64_t defaultStart, MftLayout& layout) const;

 private:
  std::map<uint64_t, RunList> tables_;
};

}  // namespace salvora
