#include "exfat/ExfatUpcaseTable.h"

namespace salvora {

bool ExfatUpcaseTable::Load(ByteView table) {
  std::vector<char16_t> map;
  map.reserve(0x10000);
  const size_t units = table.size() / 2;
  for (size_t i = 0; i < units && map.size() < 0x10000; ++i) {
    const char16_t unit = char16_t(table.U16(2 * i));
    if (unit == 0xFFFF && i + 1 < units) {
      const size_t run = table.U16(2 * ++i);
      for (size_t k = 0; k < run && map.size() < 0x10000; ++k) map.push_back(char16_t(map.size()));
    } else {
      map.push_back(unit);
    }
  }
  // A table that does not even cover ASCII is not one.
  if (map.size() < 0x80) return false;
  while (map.size() < 0x10000) map.push_back(char16_t(map.size()));
  map_ = std::move(map);
  return true;
}

uint32_t ExfatUpcaseTable::Checksum(ByteView table) {
  uint32_t sum = 0;
  for (size_t i = 0; i < table.size(); ++i) sum = ((sum & 1) ? 0x80000000u : 0) + (sum >> 1) + table.U8(i);
  return sum;
}

char16_t ExfatUpcaseTable::Upcase(char16_t c) const {
  return map_.empty() ? DefaultUpcase(c) : map_[c];
}

char16_t ExfatUpcaseTable::DefaultUpcase(char16_t c) {
  if (c >= u'a' && c <= u'z') return char16_t(c - 0x20);
  if (c < 0xE0) return c == 0xB5 ? char16_t(0x39C) : c;
  if (c <= 0xFE) return c == 0xF7 ? c : char16_t(c - 0x20);
  if (c == 0xFF) return 0x178;
  // Latin Extended-A: capitals and small letters alternate.
  if (c >= 0x100 && c <= 0x137) return char16_t(c & ~1u);
  if (c >= 0x139 && c <= 0x148) return (c & 1) ? c : char16_t(c - 1);
  if (c >= 0x14A && c <= 0x177) return char16_t(c & ~1u);
  if (c == 0x17A || c == 0x17C || c == 0x17E) return char16_t(c - 1);
  if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return char16_t(c - 0x20);
  if (c >= 0x430 && c <= 0x44F) return char16_t(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return char16_t(c - 0x50);
  if (c >= 0xFF41 && c <= 0xFF5A) return char16_t(c - 0x20);
  return c;
}

uint16_t ExfatNameHash(std::u16string_view name, const ExfatUpcaseTable& table) {
  uint16_t hash = 0;
  for (char16_t c : name) {
    const char16_t up = table.Upcase(c);
    for (uint8_t byte : {uint8_t(up & 0xFF), uint8_t(up >> 8)})
      hash = uint16_t(((hash & 1) ? 0x8000 : 0) + (hash >> 1) + byte);
  }
  return hash;
}

}  // namespace salvora
