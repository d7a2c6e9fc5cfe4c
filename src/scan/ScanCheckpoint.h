#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ByteView.h"
#include "scan/ScanSessionEntry.h"

namespace salvora {

// Where a running advanced scan last made its logs safe, kept in the file "checkpoint" of its
// session folder so that a killed process can be resumed: the sweep position, for each log of the
// session (by its name's prefix) the whole records it held at that moment and the length a resumed
// scan cuts it back to, and how many entries of the session's DeepSectorLog the deep engines had
// taken.
//
// Carving and the fast pass keep what they had written at the checkpoint. The deep engines hold
// most of their finds in memory until the sweep ends, so their logs are cut back to where that
// memory began and the sectors they took are offered to them again, in the same order, before
// the sweep goes on: what they find is then what an uninterrupted sweep gives.
//
// The file is written after the sector log and before the catalogue entry, and always names a
// position together with the lengths of that same moment, so it is the one to trust when the
// entry differs.
//
// Version 4, 72 + 40 x N bytes, little-endian:
//   0   char[8] "SALVCKPT"     8  u32 version (4)       12 u32 N, the logs (at most 64)
//   16  u64 x 5 resume position (as ScanSessionEntry offsets 24..56)
//   56  u64 entries of the deep engines' sector log to offer again
//   64  N x 40: char[24] the log's prefix (NUL-padded, "Fast_", "File_Type_" or a sweep
//       engine's), u64 whole records, u64 the records it is cut back to on resume
//   64 + 40 x N  u64 FNV-1a of the bytes before it
// Versions 3 (152 bytes) and 2 (136 bytes) kept fixed slots, Fast_ and File_Type_ and then three
// (version 2: two) sweep engines' logs; they are still read, so a scan cut off before an update
// can be resumed after it. Their sweep slots' prefixes come from the caller.
class ScanCheckpoint {
 public:
  static constexpr uint32_t kVersion = 4;
  static constexpr char kFileName[] = "checkpoint";
  static constexpr uint64_t kNoLog = UINT64_MAX;
  static constexpr size_t kPrefixBytes = 24;
  static constexpr size_t kMaxLogs = 64;
  // The prefixes of the sweep engines' slots 2, 3 and 4 of versions 2 and 3; empty for none.
  using OldSlots = std::array<std::string_view, 3>;

  struct LogLength {
    std::string prefix;
    uint64_t records = kNoLog;        // whole records at the checkpoint
    uint64_t resumeRecords = kNoLog;  // the records a resumed scan keeps
  };

  ResumePosition Position() const { return position_; }
  void SetPosition(const ResumePosition& position) { position_ = position; }
  // Of the log whose name starts with prefix; kNoLog when the scan had no such log.
  uint64_t Records(std::string_view prefix) const;
  uint64_t ResumeRecords(std::string_view prefix) const;
  // Sets (or adds) a log's lengths; a prefix longer than the file's field is not kept.
  void SetLog(std::string_view prefix, uint64_t records, uint64_t resumeRecords);
  const std::vector<LogLength>& Logs() const { return logs_; }
  // Entries of the deep engines' sector log taken before the checkpoint.
  uint64_t DeepSectors() const { return deepSectors_; }
  void SetDeepSectors(uint64_t count) { deepSectors_ = count; }

  // Reads folder's checkpoint. 0; 87 when it is missing, short, of another version or damaged
  // (the object is then unchanged).
  int Read(const std::string& sessionFolder, const OldSlots& oldSlots = {});
  // Replaces folder's checkpoint, on the medium before this returns. 0 or a platform error.
  int Write(const std::string& sessionFolder) const;

  // A scan that ran to its end leaves the file "finished" instead of a checkpoint: its folder
  // keeps the results, but nothing in it is offered to be continued.
  static constexpr char kFinishedName[] = "finished";
  static int MarkFinished(const std::string& sessionFolder);
  static bool IsFinished(const std::string& sessionFolder);

 private:
  const LogLength* Find(std::string_view prefix) const;
  bool Parse(ByteView file, const OldSlots& oldSlots);
  bool ParseSlots(ByteView file, size_t slots, const OldSlots& oldSlots);
  std::vector<uint8_t> Encode() const;

  ResumePosition position_;
  std::vector<LogLength> logs_;
  uint64_t deepSectors_ = 0;
};

// How often a sweep makes a checkpoint: SALVORA_CHECKPOINT_SECONDS when it holds a number of
// seconds from 0.05 to 86,400 (fractions allowed), else 30 seconds.
uint64_t CheckpointIntervalMs();

}  // namespace salvora
