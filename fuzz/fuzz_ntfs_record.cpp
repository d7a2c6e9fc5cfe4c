// One MFT record as the fast NTFS scan decodes it: fix-up, the attribute walk, the summary of
// names and sizes, every run list and every attribute-list entry. The first byte picks the sector
// size (512-byte sectors give 1,024-byte records, 4,096-byte sectors 4,096-byte records).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ntfs/AttributeWalk.h"
#include "ntfs/FileRecord.h"
#include "ntfs/FileRecordSummary.h"
#include "ntfs/NtfsRecordHelper.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  salvora::NtfsRecordHelper helper;
  helper.SetSectorSize((data[0] & 1) ? 4096 : 512);
  size_t recordSize = size_t(helper.RecordSize());
  std::vector<uint8_t> record(data + 1, data + std::min(size, recordSize + 1));
  record.resize(recordSize);
  salvora::ByteView view(record.data(), record.size());
  salvora::IsFileRecord(view, int(recordSize));
  helper.ApplyFixup(record.data(), record.size());
  salvora::FileRecordSummary summary;
  size_t bound = salvora::FileRecordHeader(view).BytesInUse();
  salvora::SummarizeFileRecord(view, bound, summary);
  volatile size_t sink = summary.name.size();
  salvora::WalkAttributes(view, recordSize, [&](const salvora::AttributeHeader& a, size_t) {
    salvora::RunList runs;
    if (a.IsNonResident()) helper.DecodeRunList(a.view(), runs);
    sink = sink + runs.size();
    salvora::ByteView value;
    if (a.Type() == salvora::kAttrAttributeList && a.ResidentValue(value)) {
      for (size_t pos = 0; pos + 0x18 <= value.size();) {
        salvora::AttributeListEntry e(value.Sub(pos, value.size() - pos));
        if (e.Length() < 0x18) break;
        sink = sink + e.RecordNumber();
        pos += e.Length();
      }
    }
    return true;
  });
  (void)sink;
  return 0;
}
