// File-system metadata that ends a carved file: NTFS records and log pages, boot sectors and FAT
// directory sectors.
#include <string_view>

#include "carving/SignatureScanner.h"
#include "fatdir/FatDirectorySector.h"
#include "platform/ByteView.h"

namespace salvora {
namespace {

using namespace std::string_view_literals;

bool ContainsUtf16Ntfs(ByteView v) {
  constexpr std::string_view kNtfs = "N\0T\0F\0S\0"sv;
  for (size_t at = 0; at + kNtfs.size() <= v.size(); ++at)
    if (v.Equals(at, kNtfs)) return true;
  return false;
}

bool IsKnownBootSector(ByteView v) {
  if (v.U8(0) != 0xEB || v.U8(2) != 0x90) return false;
  for (std::string_view oem : {"MSDOS5.0"sv, "MSWIN4.0"sv, "MSWIN4.1"sv, "NTFS    "sv, "EXFAT   "sv})
    if (v.Equals(3, oem)) return true;
  return false;
}

}  // namespace

bool IsMetadataSector(const uint8_t* bytes, int length) {
  if (bytes == nullptr || length < 32) return false;
  const ByteView v(bytes, size_t(length));
  if (v.Equals(0, "FILE") || v.Equals(0, "INDX")) return true;
  if (v.Equals(0, "RSTR") && ContainsUtf16Ntfs(v)) return true;
  if (v.Equals(0, "$\0S\0T\0A\0"sv)) return true;
  if (IsKnownBootSector(v)) return true;
  return IsFatDirectorySector(bytes, size_t(length));
}

}  // namespace salvora
