#include "carving/MeasureContext.h"

namespace salvora {

MeasureContext& MeasureContext::Instance() {
  static MeasureContext context;
  return context;
}

bool MeasureContext::ReadSectors(void* buffer, uint32_t count, uint64_t firstSector) const {
  if (reader == nullptr || buffer == nullptr || count == 0 || sectorSize <= 0) return false;
  uint32_t got = 0;
  return reader->ReadSectors(buffer, count, firstSector, sectorSize, got) == kOk && got == count;
}

WorkBufferLease::WorkBufferLease() {
  MeasureContext& context = MeasureContext::Instance();
  if (context.workBufferUsers_++ == 0) context.workBuffer_.assign(MeasureContext::kWorkBufferBytes, 0);
}

WorkBufferLease::~WorkBufferLease() {
  MeasureContext& context = MeasureContext::Instance();
  if (--context.workBufferUsers_ == 0) {
    context.workBuffer_.clear();
    context.workBuffer_.shrink_to_fit();
  }
}

}  // namespace salvora
