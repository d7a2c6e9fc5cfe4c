#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/LittleEndian.h"
#include "scan/ScanSessionEntry.h"

namespace salvora {

// Where a running advanced scan last made its logs safe, kept in the file "checkpoint" of its
// session folder so that a killed process can be resumed: the sweep position and, for each of the
// four logs, the whole records it held at that moment. A resumed scan cuts every record file back
// to that length, so records found again after the position are not listed twice.
//
// The file is written before the catalogue entry and always names a position together with the
// record counts of that same moment, so it is the one to trust when the two differ.
//
// 96 bytes, packed, little-endian:
//   0  char[8] "SALVCKPT"     8  u32 version (1)       12 u32 zero
//   16 u64 x 5 resume position (as ScanSessionEntry offsets 24..56)
//   56 u64 x 4 whole records of the Fast_, File_Type_, Pro_Fat_ and Pro_Ntfs_ logs (all ones: no log)
//   88 u64 FNV-1a of bytes 0..87
class ScanCheckpoint {
 public:
  static constexpr size_t kSize = 96;
  static constexpr uint32_t kVersion = 1;
  static constexpr char kFileName[] = "checkpoint";
  static constexpr uint64_t kNoLog = UINT64_MAX;
  enum Log : size_t { kFastLog, kFileTypeLog, kProFatLog, kProNtfsLog, kLogCount };

  ScanCheckpoint();

  ResumePosition Position() const;
  void SetPosition(const ResumePosition& position);
  // Whole records of a log at the checkpoint; kNoLog when the scan had no such log.
  uint64_t Records(Log log) const { return records_[log].get(); }
  void SetRecords(Log log, uint64_t records) { records_[log].set(records); }
  // The scan-log prefix of a log slot.
  static const char* Prefix(Log log);

  // Reads folder's checkpoint. 0; 87 when it is missing, short, of another version or damaged.
  int Read(const std::string& sessionFolder);
  // Replaces folder's checkpoint, on the medium before this returns. 0 or a platform error.
  int Write(const std::string& sessionFolder);

  const uint8_t* bytes() const { return reinterpret_cast<const uint8_t*>(this); }
  uint8_t* bytes() { return reinterpret_cast<uint8_t*>(this); }

 private:
  friend struct ScanCheckpointLayout;
  uint64_t ComputeChecksum() const;

  uint8_t magic_[8];
  Le32 version_;
  Le32 zero_;
  Le64 position_[5];
  Le64 records_[kLogCount];
  Le64 checksum_;
};

struct ScanCheckpointLayout {
  static_assert(sizeof(ScanCheckpoint) == ScanCheckpoint::kSize);
  static_assert(alignof(ScanCheckpoint) == 1);
  static_assert(offsetof(ScanCheckpoint, position_) == 16);
  static_assert(offsetof(ScanCheckpoint, records_) == 56);
  static_assert(offsetof(ScanCheckpoint, checksum_) == 88);
};

// How often a sweep makes a checkpoint: SALVORA_CHECKPOINT_SECONDS when it holds a number of
// seconds from 0.05 to 86,400 (fractions allowed), else 30 seconds.
uint64_t CheckpointIntervalMs();

}  // namespace salvora
