#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ntfs/DataRun.h"
#include "ntfs/NtfsAttribute.h"
#include "platform/ByteView.h"
#include "scan/FoundFileRecord.h"

namespace salvora {

// Where the clusters of a non-resident $DATA lie, and whether they hold LZNT1 compression units.
struct StreamLayout {
  RunList runs;
  uint32_t unitClusters = 0;  // clusters per compression unit; 0 when stored as is
};

// Clusters per compression unit of a non-resident attribute; 0 when it is not compressed (or its
// unit field is out of the range any volume uses, so its clusters are read as they are).
uint32_t CompressionUnitClusters(const AttributeHeader& attribute);

// The $DATA attribute of stream (the unnamed one for "") of a fixed-up record, walking up to
// bound; the unnamed one when the record has no stream of that name. False when the record holds
// none before its walk ends.
bool FindDataStream(ByteView record, size_t bound, std::string_view stream, AttributeHeader& found);

// A named stream is listed as "file:stream" beside its file: the stream a found name stands for is
// the text after its last ':', "" for a file's own data.
std::string StreamEntryName(std::string_view file, std::string_view stream);
std::string_view StreamOfEntryName(std::string_view name);
// The entry of a named stream of a found file: the file's record under the name "file:stream",
// with the stream's size (streams carry no type to check their content against).
FoundFileRecord StreamEntry(const FoundFileRecord& file, std::string_view stream, uint64_t size);

}  // namespace salvora
