#include "ntfs/ClusterEstimate.h"

#include "ntfs/AttributeWalk.h"
#include "ntfs/FileRecord.h"
#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

constexpr uint64_t kMaxClusterBytes = 2u * 1024 * 1024;
constexpr size_t kAllocatedSizeOffset = 0x28;

}  // namespace

uint32_t GuessClusterSectors(uint64_t totalSectors, int bytesPerSector) {
  double mib = double(totalSectors) * double(bytesPerSector) / 1048576.0;
  double d = double(bytesPerSector / 512);
  if (mib <= 7 * d) return 8;
  if (mib <= 512 * d) return 1;
  if (mib <= 1024 * d) return 2;
  if (mib <= 2048 * d) return 4;
  return 8;
}

int InferClusterSectors(ByteView record, const NtfsRecordHelper& helper, uint32_t& spc) {
  spc = 0;
  FileRecordHeader header(record);
  if (!header.HasMagic()) return kInvalidParameter;
  if (header.FirstAttributeOffset() >= record.size()) return kInvalidParameter;
  uint64_t allocated = 0;
  RunList runs;
  WalkAttributes(record, record.size(), [&](const AttributeHeader& a, size_t) {
    if (a.Type() == kAttrAttributeList) return false;
    if (a.Type() != kAttrData) return true;
    if (a.IsNonResident()) {
      allocated = a.view().U64(kAllocatedSizeOffset);
      helper.DecodeRunList(a.view(), runs);
    }
    return false;
  });
  uint64_t clusters = 0;
  for (const auto& run : runs) clusters += run.length;
  if (clusters == 0 || helper.BytesPerSector() <= 0) return 0;
  uint64_t guess = allocated / uint64_t(helper.BytesPerSector()) / clusters;
  if (guess == 0 || (guess & (guess - 1)) != 0) return 0;
  if (guess * uint64_t(helper.BytesPerSector()) > kMaxClusterBytes) return 0;
  spc = uint32_t(guess);
  return 0;
}

}  // namespace salvora
