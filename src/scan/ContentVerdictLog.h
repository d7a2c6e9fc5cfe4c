#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "scan/ContentVerdict.h"

namespace salvora {

// The content verdicts of one scan log's records, kept in a companion file of the log (NAME_Verdict)
// so that the record format stays as it is and a reopened scan shows what was checked. The file
// is a sequence of 16-byte little-endian entries {u32 record number, u8 state, 3 zero bytes, u64
// damaged-at}, appended as verdicts come; a later entry for a record replaces an earlier one. A
// torn last entry, an unknown state or record number 0 is skipped when the file is read.
class ContentVerdictLog {
 public:
  static constexpr size_t kEntrySize = 16;

  // Loads path (a missing file is an empty log) and appends to it from now on. 0 or the error.
  int Open(const std::string& path);
  void Close();

  // The verdict kept for a record, or nullopt when none was.
  std::optional<ContentVerdict> Find(uint32_t recordNumber) const;
  // Keeps a verdict (written at the next Flush); a not-checked verdict is not kept.
  void Keep(uint32_t recordNumber, const ContentVerdict& verdict);
  // Appends the verdicts kept since the last flush. 0 or the write error.
  int Flush();
  // Forgets the verdicts of records after the first `records` and rewrites the file.
  int CutBack(uint32_t records);

 private:
  // Pending entries are written once this many have gathered (a scan of many small files).
  static constexpr size_t kPendingLimit = 4096;

  struct Entry {
    uint32_t number;
    ContentVerdict verdict;
  };
  static void Encode(const Entry& entry, uint8_t* out);
  int Append(const std::vector<Entry>& entries, bool replace);

  void Set(uint32_t number, const ContentVerdict& verdict);

  std::string path_;
  // One state byte per record number (record numbers are dense), the offsets of damaged ones apart.
  std::vector<uint8_t> states_;
  std::unordered_map<uint32_t, uint64_t> damagedAt_;
  std::vector<Entry> pending_;
};

}  // namespace salvora
