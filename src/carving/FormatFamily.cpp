#include "carving/FormatFamily.h"

#include <algorithm>
#include <initializer_list>

namespace salvora {
namespace {

using Family = std::initializer_list<TypeCode>;

const Family kFamilies[] = {
    {kTypeTif, kTypeCr2, kTypeNef, kTypeArw, kTypeDng, kTypePef, kTypeOrf, kTypeRw2},
    {kTypeMp4, kTypeMov, kType3gp, kTypeHeic, kTypeAvif, kTypeCr3, kTypeM4a},
    {kTypeMp3, kTypeMp2},
    {kTypeOgg, kTypeOpus},
    {kTypeTs, kTypeMts},
};

bool Holds(const Family& family, TypeCode code) {
  return std::find(family.begin(), family.end(), code) != family.end();
}

}  // namespace

bool SameFamily(TypeCode a, TypeCode b) {
  if (a == b) return true;
  for (const Family& family : kFamilies)
    if (Holds(family, a) && Holds(family, b)) return true;
  return false;
}

bool IsBlankSector(const uint8_t* bytes, int length) {
  if (bytes == nullptr || length <= 0) return false;
  return std::all_of(bytes, bytes + length, [first = bytes[0]](uint8_t b) { return b == first; });
}

bool IsTextSector(const uint8_t* bytes, int length) {
  if (bytes == nullptr || length <= 0) return false;
  int end = length;
  while (end > 0 && bytes[end - 1] == 0) --end;
  if (end == 0) return false;
  return std::all_of(bytes, bytes + end, [](uint8_t b) {
    return (b >= 0x20 && b < 0x7F) || b == '\t' || b == '\n' || b == '\r';
  });
}

}  // namespace salvora
