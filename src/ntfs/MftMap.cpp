#include "ntfs/MftMap.h"

namespace salvora {
namespace {

// Sectors from the volume start to the first cluster of runs; false when that cluster is not on
// the medium (a sparse or negative start), so the table cannot be placed.
bool FirstClusterSectors(const RunList& runs, uint32_t spc, uint64_t& sectors) {
  if (runs.empty() || runs[0].sparse || runs[0].delta < 0) return false;
  sectors = uint64_t(runs[0].delta) * spc;
  return true;
}

}  // namespace

uint64_t LocateRecord(const MftLayout& layout, uint64_t volumeStart, uint32_t spc,
                      uint32_t sectorsPerRecord, uint64_t n) {
  uint64_t target = n * sectorsPerRecord;
  if (layout.contiguous) return layout.contiguousStart + target;
  uint64_t sector = 0;
  return RunSectorAt(layout.runs, spc, target, sector) ? volumeStart + sector : volumeStart;
}

uint64_t MftMap::FindTableForRecord(uint64_t k, uint64_t s, uint32_t spc, uint32_t sectorsPerRecord,
                                    RunList& layout) const {
  const uint64_t target = k * sectorsPerRecord;
  for (const auto& [m, runs] : tables_) {
    uint64_t firstSectors = 0;
    // A table whose record 0 would lie before its own volume start is not a table of this medium.
    if (!FirstClusterSectors(runs, spc, firstSectors) || firstSectors > m) continue;
    uint64_t sector = 0;
    if (RunSectorAt(runs, spc, target, sector) && m - firstSectors + sector == s) {
      layout = runs;
      return m;
    }
  }
  return 0;
}

uint64_t MftMap::VolumeStartForRecord(uint64_t s, uint64_t k, uint32_t spc, uint32_t sectorsPerRecord,
                                      uint64_t defaultStart, MftLayout& layout) const {
  layout = MftLayout();
  uint64_t m = FindTableForRecord(k, s, spc, sectorsPerRecord, layout.runs);
  if (m != 0) {
    uint64_t firstSectors = 0;
    FirstClusterSectors(layout.runs, spc, firstSectors);
    return firstSectors != 0 ? m - firstSectors : defaultStart;
  }
  // No known table holds the record: take the table to be contiguous up to it. A record number
  // too large for its sector leaves no layout, so its relatives are looked for nowhere.
  uint64_t offset = k * sectorsPerRecord;
  if (offset > s) return defaultStart;
  layout = MftLayout::Contiguous(s - offset);
  // A known $MFT record right where that table would begin is this table's record 0: the table
  // has grown past the runs it knows (as after a quick format), and its volume start holds.
  auto table = tables_.find(s - offset);
  uint64_t firstSectors = 0;
  if (table != tables_.end() && FirstClusterSectors(table->second, spc, firstSectors) &&
      firstSectors != 0 && firstSectors <= table->first)
    return table->first - firstSectors;
  return defaultStart;
}

}  // namespace salvora
