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
    } else if (a.Type() == kAttrData && summary.hasFileName && a.IsUnnamed()) {
      if (!a.IsNonResident()) {
        summary.hasData = true;
        summary.dataSize = a.ValueLength();
      } else if (a.Length() >= kNonResidentSizeEnd) {
        summary.hasData = true;
        summary.dataSize = a.RealSize();
      }
    }
    return true;
  });
  return sound && end != WalkEnd::Malformed;
}

}  // namespace salvora
