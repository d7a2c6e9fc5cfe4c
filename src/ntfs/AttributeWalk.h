#pragma once

#include <cstddef>
#include <cstdint>

#include "ntfs/FileRecord.h"
#include "ntfs/NtfsAttribute.h"
#include "platform/ByteView.h"

namespace salvora {

// How an attribute walk ended.
enum class WalkEnd {
  Marker,     // the end marker, type 0, a type of 0xFDFDFDFD or above, or the visitor stopped
  Bound,      // the position reached the walk's bound
  Malformed,  // the first-attribute offset, a zero length or an attribute that leaves the record
};

// Steps through the attributes of the FILE record in record (the view is the record, already fixed
// up) from the first-attribute offset, while the position is below bound. Every attribute handed to
// visit(AttributeHeader, offset) lies wholly inside the record; visit returns false to stop.
template <typename Visit>
WalkEnd WalkAttributes(ByteView record, size_t bound, Visit&& visit) {
  if (bound > record.size()) bound = record.size();
  size_t pos = FileRecordHeader(record).FirstAttributeOffset();
  if (pos >= record.size()) return WalkEnd::Malformed;
  while (pos < bound) {
    if (!record.Has(pos, 8)) return WalkEnd::Malformed;
    uint32_t type = record.U32(pos);
    if (type == kAttrEnd || type == 0 || type >= 0xFDFDFDFDu) return WalkEnd::Marker;
    uint32_t length = record.U32(pos + 4);
    if (length == 0 || !record.Has(pos, length)) return WalkEnd::Malformed;
    if (!visit(AttributeHeader(record.Sub(pos, length)), pos)) return WalkEnd::Marker;
    pos += length;
  }
  return WalkEnd::Bound;
}

// True when a walk to bound meets no malformed attribute (the record can be trusted).
inline bool AttributesWellFormed(ByteView record, size_t bound) {
  return WalkAttributes(record, bound, [](const AttributeHeader&, size_t) { return true; }) !=
         WalkEnd::Malformed;
}

// The first attribute of type in the record; false when there is none before the walk ends.
inline bool FindAttribute(ByteView record, size_t bound, uint32_t type, AttributeHeader& found) {
  bool hit = false;
  WalkAttributes(record, bound, [&](const AttributeHeader& a, size_t) {
    if (a.Type() != type) return true;
    found = a;
    hit = true;
    return false;
  });
  return hit;
}

}  // namespace salvora
