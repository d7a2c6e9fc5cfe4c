#include "fatdir/FatDirEntry.h"

#include <cstring>

namespace salvora {

bool IsForbiddenShortNameByte(uint8_t c) {
  if (c < 0x20 || (c >= 'a' && c <= 'z') || c == '.') return true;
  return std::memchr("\\:*?\"<>|", c, 8) != nullptr;
}

uint8_t ShortNameChecksum(const uint8_t* name11) {
  uint8_t sum = 0;
  for (int i = 0; i < 11; ++i) sum = uint8_t(((sum & 1) << 7) + (sum >> 1) + name11[i]);
  return sum;
}

uint8_t FatDirEntry::ShortNameChecksum() const {
  uint8_t name[11];
  for (size_t i = 0; i < 11; ++i) name[i] = NameByte(i);
  return salvora::ShortNameChecksum(name);
}

uint16_t FatDirEntry::LongNameChar(int i) const {
  if (i < 0 || i >= 13) return 0;
  if (i < 5) return e_.U16(1 + 2 * size_t(i));
  if (i < 11) return e_.U16(14 + 2 * size_t(i - 5));
  return e_.U16(28 + 2 * size_t(i - 11));
}

}  // namespace salvora
