#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/LittleEndian.h"
#include "scan/ScanSessionEntry.h"

namespace salvora {

// Where a running advanced scan last made its logs safe, kept in the file "checkpoint" of its
// session folder so that a killed process can be resumed: the sweep position, for each of the
// four logs the whole records it held at that moment and the length a resumed scan cuts it back
// to, and how many entries of the session's DeepSectorLog the deep engines had taken.
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
// 152 bytes, packed, little-endian:
//   0   char[8] "SALVCKPT"     8  u32 version (3)       12 u32 zero
//   16  u64 x 5 resume position (as ScanSessionEntry offsets 24..56)
//   56  u64 x 5 whole records of the Fast_, File_Type_, Pro_Fat_, Pro_Ntfs_ and Pro_Exfat_ logs
//       (all ones: no log)
//   96  u64 x 5 the records each log is cut back to on resume (all ones: no log)
//   136 u64 entries of the deep engines' sector log to offer again
//   144 u64 FNV-1a of bytes 0..143
// Version 2 (136 bytes: four logs, no Pro_Exfat_) is still read, so a scan cut off before an
// update can be resumed after it.
class ScanCheckpoint {
 public:
  static constexpr size_t kSize = 152;
  static constexpr uint32_t kVersion = 3;
  static constexpr size_t kVersion2Size = 136;
  static constexpr char kFileName[] = "checkpoint";
  static constexpr uint64_t kNoLog = UINT64_MAX;
  enum Log : size_t { kFastLog, kFileTypeLog, kProFatLog, kProNtfsLog, kProExfatLog, kLogCount };

  ScanCheckpoint();

  ResumePosition Position() const;
  void SetPosition(const ResumePosition& position);
  // Whole records of a log at the checkpoint; kNoLog when the scan had no such log.
  uint64_t Records(Log log) const { return records_[log].get(); }
  void SetRecords(Log log, uint64_t records) { records_[log].set(records); }
  // The records a resumed scan keeps of a log; kNoLog when the scan had no such log.
  uint64_t ResumeRecords(Log log) const { return resumeRecords_[log].get(); }
  void SetResumeRecords(Log log, uint64_t records) { resumeRecords_[log].set(records); }
  // Entries of the deep engines' sector log taken before the checkpoint.
  uint64_t DeepSectors() const { return deepSectors_.get(); }
  void SetDeepSectors(uint64_t count) { deepSectors_.set(count); }
  // The scan-log prefix of a log slot.
  static const char* Prefix(Log log);

  // Reads folder's checkpoint. 0; 87 when it is missing, short, of another version or damaged.
  int Read(const std::string& sessionFolder);
  // Replaces folder's checkpoint, on the medium before this returns. 0 or a platform error.
  int Write(const std::string& sessionFolder);

  // A scan that ran to its end leaves the file "finished" instead of a checkpoint: its folder
  // keeps the results, but nothing in it is offered to be continued.
  static constexpr char kFinishedName[] = "finished";
  static int MarkFinished(const std::string& sessionFolder);
  static bool IsFinished(const std::string& sessionFolder);

  const uint8_t* bytes() const { return reinterpret_cast<const uint8_t*>(this); }
  uint8_t* bytes() { return reinterpret_cast<uint8_t*>(this); }

 private:
  friend struct ScanCheckpointLayout;
  uint64_t ComputeChecksum() const;
  // The fields of a version-2 file (its size and checksum checked), the exFAT slots without a log.
  bool ReadVersion2(const std::string& data);

  uint8_t magic_[8];
  Le32 version_;
  Le32 zero_;
  Le64 position_[5];
  Le64 records_[kLogCount];
  Le64 resumeRecords_[kLogCount];
  Le64 deepSectors_;
  Le64 checksum_;
};

struct ScanCheckpointLayout {
  static_assert(sizeof(ScanCheckpoint) == ScanCheckpoint::kSize);
  static_assert(alignof(ScanCheckpoint) == 1);
  static_assert(offsetof(ScanCheckpoint, position_) == 16);
  static_assert(offsetof(ScanCheckpoint, records_) == 56);
  static_assert(offsetof(ScanCheckpoint, resumeRecords_) == 96);
  static_assert(offsetof(ScanCheckpoint, deepSectors_) == 136);
  static_assert(offsetof(ScanCheckpoint, checksum_) == 144);
};

// How often a sweep makes a checkpoint: SALVORA_CHECKPOINT_SECONDS when it holds a number of
// seconds from 0.05 to 86,400 (fractions allowed), else 30 seconds.
uint64_t CheckpointIntervalMs();

}  // namespace salvora
