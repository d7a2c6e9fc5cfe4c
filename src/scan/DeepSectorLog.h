#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/LittleEndian.h"

namespace salvora {

// One entry of the deep-sector log: 16 bytes, packed, little-endian (u64 absolute sector, u32
// kind, u32 zero).
class DeepSectorEntry {
 public:
  static constexpr size_t kSize = 16;
  DeepSectorEntry() = default;
  DeepSectorEntry(uint64_t sector, uint32_t kind) {  // kind: the claiming engine's SweptKind
    sector_.set(sector);
    kind_.set(kind);
  }
  uint64_t Sector() const { return sector_.get(); }
  uint32_t Kind() const { return kind_.get(); }

 private:
  friend struct DeepSectorEntryLayout;
  Le64 sector_;
  Le32 kind_;
  Le32 zero_;
};

struct DeepSectorEntryLayout {
  static_assert(sizeof(DeepSectorEntry) == DeepSectorEntry::kSize);
  static_assert(alignof(DeepSectorEntry) == 1);
};

// The sectors the deep engines took during a sweep, in the order they took them: the file
// "deep_sectors" of the session folder. A scan resumed after its process was killed offers them
// again to rebuild what those engines held in memory (see ScanCheckpoint); the checkpoint says how
// many entries count, so entries written after it are never read.
class DeepSectorLog {
 public:
  static constexpr char kFileName[] = "deep_sectors";
  // More than any volume's directory sectors and FILE records could need; a bigger count is
  // damage, and only this many are read.
  static constexpr uint64_t kMaxEntries = uint64_t(1) << 28;

  // Writes entries from entry index `at` on and puts them on the medium. 0 or a platform error.
  static int Write(const std::string& sessionFolder, uint64_t at,
                   const std::vector<DeepSectorEntry>& entries);
  // The first `count` entries (fewer when the file is shorter: then 30). 0, 30, 8 or a platform
  // error; what was read stays in out.
  static int Read(const std::string& sessionFolder, uint64_t count, std::vector<DeepSectorEntry>& out);
  // Empties the log (the deep engines have written all they held). 0 or a platform error.
  static int Clear(const std::string& sessionFolder);
};

}  // namespace salvora
