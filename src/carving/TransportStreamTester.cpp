#include <algorithm>
#include <vector>

#include "carving/MeasureContext.h"
#include "carving/TesterInput.h"
#include "carving/Testers.h"

namespace salvora {
namespace {

constexpr uint8_t kSync = 0x47;
constexpr size_t kPacket = 188;
constexpr size_t kProbeBytes = 4096;
constexpr size_t kProbePackets = 22;  // packets 0..21 lie wholly within 4,096 bytes

// The first 4,096 bytes from the sector under test on hold a packet start every 188 bytes.
bool StreamContinuesForProbe(MeasureContext& context) {
  const size_t sectorSize = size_t(context.sectorSize);
  const uint32_t sectors = uint32_t(std::max<size_t>(1, kProbeBytes / sectorSize));
  std::vector<uint8_t> probe(std::max(kProbeBytes, size_t(sectors) * sectorSize), 0);
  if (!context.ReadSectors(probe.data(), sectors, context.sectorUnderTest)) return false;
  for (size_t i = 0; i < kProbePackets; ++i)
    if (probe[i * kPacket] != kSync) return false;
  return true;
}

// In strict mode a packet start is a new file only when the sector before it does not hold
// packet starts at the same 188-byte rhythm, and when it lies outside every stream measured so far.
bool IsNewStreamStrict(MeasureContext& context) {
  const size_t sectorSize = size_t(context.sectorSize);
  // Nothing comes before the first sector of the source, so nothing continues into it.
  if (context.sectorUnderTest > 0) {
    std::vector<uint8_t> previous(sectorSize, 0);
    if (!context.ReadSectors(previous.data(), 1, context.sectorUnderTest - 1)) return false;
    for (size_t j = 1; j <= sectorSize / kPacket; ++j)
      if (previous[sectorSize - j * kPacket] == kSync) return false;
  }
  for (const TransportStreamExtent& extent : context.TransportStreamExtents)
    if (extent.first <= context.startSector && context.startSector <= extent.last) return false;
  return true;
}

}  // namespace

TypeCode TestTransportStream(const uint8_t* bytes, int length) {
  const ByteView v = TesterInput(bytes, length, int(kPacket));
  if (v.U8(0) != kSync || (v.U8(1) == 0 && v.U8(2) == 0 && v.U8(3) == 0)) return kTypeNone;
  for (size_t at = 0; at < v.size(); at += kPacket)
    if (v.U8(at) != kSync) return kTypeNone;
  MeasureContext& context = MeasureContext::Instance();
  if (context.sectorSize <= 0 || !StreamContinuesForProbe(context)) return kTypeNone;
  if (context.strictTransportStream && !IsNewStreamStrict(context)) return kTypeNone;
  return kTypeTs;
}

}  // namespace salvora
