#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ntfs/NtfsAttribute.h"
#include "platform/ByteView.h"

namespace salvora {

// What a scan takes from one FILE record: its first $FILE_NAME (parent, times, size), the name to
// show and the size of its unnamed $DATA.
struct FileRecordSummary {
  bool hasFileName = false;
  FileNameAttribute firstName{ByteView()};
  // The first name, replaced by every later Win32 name: a DOS short name that comes first gives
  // way to the long name.
  std::string name;
  bool hasData = false;
  uint64_t dataSize = 0;
  // The named $DATA attributes (alternate streams), in record order.
  struct NamedStream {
    std::string name;
    uint64_t size = 0;
  };
  std::vector<NamedStream> streams;
};

// A record holds a few streams at most; a list longer than this is not a file's.
inline constexpr size_t kMaxNamedStreams = 32;

// Reads the summary from a fixed-up record, walking up to bound (bytes in use). False when the
// record is malformed (an attribute leaves the record, a zero length, a name that does not fit):
// such a record is skipped as a whole.
bool SummarizeFileRecord(ByteView record, size_t bound, FileRecordSummary& summary);

}  // namespace salvora
