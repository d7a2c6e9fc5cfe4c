#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "exfat/ExfatUpcaseTable.h"
#include "platform/ByteView.h"

namespace salvora {

// A file or folder's entry set: a file entry, its stream extension, its name entries and any
// benign secondaries, parsed from consecutive 32-byte entries. A deleted set is one whose entries
// all have the in-use bit cleared; its checksum is checked as it was while the set was live.
class ExfatEntrySet {
 public:
  enum class Status {
    Ok,
    NotFileEntry,   // the first entry is not a file entry (live or deleted)
    Truncated,      // the set runs past the entries given
    BadCount,       // too few or too many secondaries for a stream and its name
    MixedState,     // some entries in use, others not
    BadChecksum,    // the set checksum does not match
    BadStream,      // the second entry is not a stream extension
    BadName,        // name entries missing, or the name empty or holding NUL
  };
  static constexpr size_t kMaxNameUnits = 255;
  static constexpr size_t kMinSecondaries = 2;

  // Parses the set whose file entry starts entries. upcase checks the name hash (NameHashMatches);
  // a hash that does not match is reported, not refused.
  static Status Parse(ByteView entries, const ExfatUpcaseTable& upcase, ExfatEntrySet& set);
  // The rest of a set whose file entry lies at the end of the directory's previous cluster: its
  // stream and name entries at the start of a cluster. No checksum covers them without the file
  // entry, so the name hash must match; attributes and times are unknown (read as a file, 0).
  static Status ParseTail(ByteView entries, const ExfatUpcaseTable& upcase, ExfatEntrySet& set);
  // The checksum of the first entryCount entries of bytes, with the in-use bits set when asLive.
  static uint16_t Checksum(ByteView bytes, size_t entryCount, bool asLive);

  size_t EntryCount() const { return 1 + secondaryCount_; }
  bool IsDeleted() const { return deleted_; }
  bool NameHashMatches() const { return nameHashMatches_; }
  const std::u16string& NameUnits() const { return nameUnits_; }
  // The name as UTF-8.
  const std::string& Name() const { return name_; }
  uint16_t Attributes() const { return attributes_; }
  bool IsDirectory() const { return (attributes_ & 0x10) != 0; }
  // FILETIMEs (UTC when the entry gives its offset; 0 when not convertible).
  uint64_t CreationTime() const { return creation_; }
  uint64_t ModifyTime() const { return modify_; }
  uint64_t AccessTime() const { return access_; }
  // Bytes written; past it up to DataLength the file reads as zeros.
  uint64_t ValidDataLength() const { return validDataLength_; }
  uint64_t DataLength() const { return dataLength_; }
  uint32_t FirstCluster() const { return firstCluster_; }
  // The data is one contiguous run of clusters from FirstCluster; the FAT is not used.
  bool NoFatChain() const { return noFatChain_; }
  bool AllocationPossible() const { return allocationPossible_; }

 private:
  Status ReadEntries(ByteView entries, const ExfatUpcaseTable& upcase);
  // The name from the entries after the stream entry at `stream`.
  Status ReadName(ByteView entries, size_t stream, size_t nameLength);

  uint8_t secondaryCount_ = 0;
  bool deleted_ = false;
  bool nameHashMatches_ = false;
  std::u16string nameUnits_;
  std::string name_;
  uint16_t attributes_ = 0;
  uint64_t creation_ = 0, modify_ = 0, access_ = 0;
  uint64_t validDataLength_ = 0, dataLength_ = 0;
  uint32_t firstCluster_ = 0;
  bool noFatChain_ = false;
  bool allocationPossible_ = false;
};

}  // namespace salvora
