#include "carving/StructureMeasure.h"

#include "carving/MeasureContext.h"
#include "carving/ScanSizeRule.h"
#include "carving/SectorByteSource.h"

namespace salvora {
namespace {

// True when no stop sector starts in [verifiedTo, length) and every sector there could be read.
bool NoStopInUncheckedPart(const WalkResult& walk, int sectorSize, StopVariant variant) {
  const uint64_t sector = uint64_t(sectorSize);
  const uint64_t from = (walk.verifiedTo + sector - 1) / sector;
  const uint64_t sectors = (walk.length + sector - 1) / sector;
  if (from >= sectors) return true;
  EndSearch none;
  return ScanSizeRuleFrom(from, (sectors - 1) * sector, none, variant) >= sectors * sector;
}

}  // namespace

uint64_t MeasureByStructure(StructureWalk walk, uint64_t limitBytes, const uint8_t* bytes,
                            int length, SizeRule fallback, StopVariant variant) {
  MeasureContext& context = MeasureContext::Instance();
  context.lastCallbackAnswer = 0;
  if (context.sectorSize > 0 && context.reader && context.WorkBuffer()) {
    SectorByteSource source(limitBytes);
    const WalkResult result = walk(source);
    context.lastWalk = result;
    if (source.Cancelled()) return uint64_t(context.sectorSize);
    if (result.ok() && result.length > 0 && result.length <= limitBytes &&
        NoStopInUncheckedPart(result, context.sectorSize, variant))
      return result.length;
    if (context.lastCallbackAnswer != 0) return uint64_t(context.sectorSize);
  }
  return fallback ? fallback(bytes, length) : kNotCarved;
}

}  // namespace salvora
