#pragma once

#include <cstdint>
#include <vector>

#include "storage/SectorReader.h"

namespace salvora {

// The allocation table of a FAT volume, read through one window of at most 16 MiB that is
// reloaded only when an entry lies outside it. The window is clipped to what the source holds, so
// small volumes (floppies, small cards) still have a usable table.
class FatTable {
 public:
  static constexpr uint32_t kWindowBytes = 16u * 1024 * 1024;

  // tableStart: absolute sector of the first table; readableSectors: sectors that exist from
  // there to the end of the source; entryBits 12, 16 or 32; maxCluster: highest data cluster.
  // Reads the first window. Returns 0 or the read error (the table then has no window unless a
  // second copy was given and could be read).
  int Load(SectorReader* reader, uint64_t tableStart, uint32_t sectorSize, int entryBits,
           uint64_t readableSectors, uint32_t maxCluster);
  // The table's second copy, read where the first one is unreadable (bad sectors): its first
  // sector and the sectors of it that exist. Call before Load.
  void SetMirror(uint64_t mirrorStart, uint64_t readableSectors) {
    mirrorStart_ = mirrorStart;
    mirrorReadable_ = readableSectors;
  }

  bool HasWindow() const { return !window_.empty(); }
  int EntryBits() const { return entryBits_; }
  // The raw entry of cluster c (12-bit entries unpacked). Without a window the entry is c + 1.
  // 30 when the entry lies past the end of the source; a read error is passed on.
  int Entry(uint32_t c, uint32_t& value);
  // The cluster after c, or 0 when the chain ends. A free entry (a deleted file's) continues into
  // c + 1 when that cluster is free too. Links outside the data area end the chain.
  int Next(uint32_t c, uint32_t& next);
  // True for an end-of-chain or bad-cluster mark.
  bool IsEndOrBad(uint32_t value) const { return (value & Mask()) >= Mask() - 8; }
  uint32_t Mask() const;

 private:
  int Reload(uint64_t byteOffset);
  // Reads up to count sectors of the table from index on into the window, from the first copy or,
  // when that yields nothing, the second. 0 with got > 0, or the read error.
  int ReadWindow(uint64_t index, uint32_t count, uint32_t& got);

  SectorReader* reader_ = nullptr;
  uint64_t tableStart_ = 0;
  uint32_t sectorSize_ = 512;
  int entryBits_ = 16;
  uint64_t readableSectors_ = 0;
  uint32_t maxCluster_ = 0;
  uint64_t windowIndex_ = 0;      // first sector (relative to the table) held in the window
  uint32_t windowLength_ = 0;     // bytes of the window holding table data
  std::vector<uint8_t> window_;
  uint64_t mirrorStart_ = 0;
  uint64_t mirrorReadable_ = 0;   // 0: no second copy
  uint64_t unreadable_ = UINT64_MAX;  // last table sector that neither copy gave, not read again
};

}  // namespace salvora
