#include "ntfs/DataStream.h"

#include "ntfs/AttributeWalk.h"

namespace salvora {
namespace {

// Units of 2 to 4,096 clusters: volumes use 16, anything beyond is not a unit this reader trusts.
constexpr uint8_t kMaxUnitShift = 12;

}  // namespace

uint32_t CompressionUnitClusters(const AttributeHeader& attribute) {
  if (!attribute.IsNonResident() || !attribute.IsCompressed()) return 0;
  uint8_t shift = attribute.CompressionUnitShift();
  if (shift == 0 || shift > kMaxUnitShift) return 0;
  return uint32_t(1) << shift;
}

namespace {

bool FindExactStream(ByteView record, size_t bound, std::string_view stream, AttributeHeader& found) {
  bool hit = false;
  WalkAttributes(record, bound, [&](const AttributeHeader& a, size_t) {
    if (a.Type() != kAttrData) return true;
    if (stream.empty() ? !a.IsUnnamed() : a.Name() != stream) return true;
    found = a;
    hit = true;
    return false;
  });
  return hit;
}

}  // namespace

bool FindDataStream(ByteView record, size_t bound, std::string_view stream, AttributeHeader& found) {
  if (FindExactStream(record, bound, stream, found)) return true;
  // POSIX names may hold a ':': a name whose stream the record lacks is the file's own.
  return !stream.empty() && FindExactStream(record, bound, {}, found);
}

std::string StreamEntryName(std::string_view file, std::string_view stream) {
  std::string name(file);
  name += ':';
  name += stream;
  return name;
}

std::string_view StreamOfEntryName(std::string_view name) {
  size_t colon = name.rfind(':');
  return colon == std::string_view::npos ? std::string_view() : name.substr(colon + 1);
}

FoundFileRecord StreamEntry(const FoundFileRecord& file, std::string_view stream, uint64_t size) {
  FoundFileRecord entry = file;
  entry.SetName(StreamEntryName(file.Name(), stream));
  entry.SetFileSize(size);
  entry.SetContentCheck(1);
  return entry;
}

}  // namespace salvora
