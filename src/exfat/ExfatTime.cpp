#include "exfat/ExfatTime.h"

#include "fatfamily/FatTime.h"

namespace salvora {

int ExfatUtcOffsetMinutes(uint8_t utcOffset) {
  if ((utcOffset & 0x80) == 0) return 0;
  int quarters = utcOffset & 0x7F;
  if (quarters & 0x40) quarters -= 0x80;
  return quarters * 15;
}

uint64_t ExfatTimeToFileTime(uint32_t timestamp, uint8_t tenMs, uint8_t utcOffset) {
  const int increment = tenMs < 200 ? tenMs : 0;
  const uint64_t local = FatDateTimeToFileTime(uint16_t(timestamp >> 16), uint16_t(timestamp & 0xFFFF),
                                               increment / 100, (increment % 100) * 10);
  if (local == 0) return 0;
  const int64_t shift = int64_t(ExfatUtcOffsetMinutes(utcOffset)) * 60 * 10'000'000;
  return uint64_t(int64_t(local) - shift);
}

}  // namespace salvora
