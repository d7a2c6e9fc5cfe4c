#include "ntfs/FileRecordSummary.h"

#include "ntfs/AttributeWalk.h"

namespace salvora {
namespace {

constexpr uint32_t kNonResidentSizeEnd = 0x38;  // the real size field ends here

}  // namespace

bool SummarizeFileRecord(ByteView record, size_t bound, FileRecordSummary& summary) {
  summary = FileRecordSummary();
  bool sound = true;
  WalkEnd end = WalkAttributes(record, bound, [&](const AttributeHeader& a, size_t) {
    if (a.Type() == kAttrFileName) {
      FileNameAttribute name(a.view());
      if (!name.IsWellFormed()) {
        sound = false;
        return false;
      }
      if (!summary.hasFileName) {
        summary.hasFileName = true;
        summary.firstName = name;
        summary.name = name.Name();
      } else if (name.NameSpaceByte() == FileNameAttribute::kWin32) {
        summary.name = name.Name();
      }
    } else if (a.Type() == kAttrData && summary.hasFileName) {
      bool sized = !a.IsNonResident() || a.Length() >= kNonResidentSizeEnd;
      uint64_t size = a.IsNonResident() ? a.RealSize() : a.ValueLength();
      if (!sized) return true;
      if (a.IsUnnamed()) {
        summary.hasData = true;
        summary.dataSize = size;
      } else if (summary.streams.size() < kMaxNamedStreams) {
        // A later extent of a stream (its first cluster past 0) is not a stream of its own.
        std::string name = a.Name();
        if (!name.empty() && (!a.IsNonResident() || a.StartVcn() == 0))
          summary.streams.push_back({std::move(name), size});
      }
    }
    return true;
  });
  return sound && end != WalkEnd::Malformed;
}

}  // namespace salvora
