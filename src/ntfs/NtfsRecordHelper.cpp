#include "ntfs/NtfsRecordHelper.h"

#include "ntfs/NtfsAttribute.h"

namespace salvora {
namespace {

// The little-endian number of width bytes at p, sign-extended from its top bit.
int64_t SignedField(const uint8_t* p, unsigned width) {
  uint64_t value = 0;
  for (unsigned i = width; i-- > 0;) value = (value << 8) | p[i];
  if (width > 0 && width < 8 && (p[width - 1] & 0x80)) value |= ~uint64_t(0) << (8 * width);
  return int64_t(value);
}

uint64_t UnsignedField(const uint8_t* p, unsigned width) {
  uint64_t value = 0;
  for (unsigned i = width; i-- > 0;) value = (value << 8) | p[i];
  return value;
}

}  // namespace

int NtfsRecordHelper::SetSectorSize(int bytesPerSector) {
  bytesPerSector_ = bytesPerSector;
  sectorsPerRecord_ = bytesPerSector == 512 ? 2 : 1;
  return 0;
}

int NtfsRecordHelper::ApplyFixup(uint8_t* buffer, size_t bufferSize) const {
  if (buffer == nullptr || bufferSize == 0 || buffer[0] == 0) return -1;
  size_t recordSize = size_t(RecordSize());
  if (recordSize > bufferSize) recordSize = bufferSize;
  for (size_t i = 0; i < recordSize / kStride; ++i) {
    size_t from = kSavedWordsOffset + 2 * i;
    size_t to = (i + 1) * kStride - 2;
    if (from + 2 > recordSize) break;
    buffer[to] = buffer[from];
    buffer[to + 1] = buffer[from + 1];
  }
  return 0;
}

void NtfsRecordHelper::DecodeRunList(ByteView attribute, RunList& runs) const {
  AttributeHeader header(attribute);
  size_t len = header.Length();
  if (len == 0 || len > attribute.size()) return;
  const uint8_t* base = attribute.data();
  size_t pos = header.RunListOffset();
  while (pos < len) {
    uint8_t h = base[pos];
    if (h == 0) break;
    unsigned l = h & 0x0F;
    unsigned o = h >> 4;
    if (l > 7 || o > 7) break;
    if (pos + 1 + l + o > len) break;  // a field that would run past the attribute
    DataRun run;
    run.length = UnsignedField(base + pos + 1, l) & 0xFFFFFFFFu;
    run.delta = SignedField(base + pos + 1 + l, o);
    run.sparse = (o == 0);
    runs.push_back(run);
    pos += 1 + l + o;
  }
}

}  // namespace salvora
