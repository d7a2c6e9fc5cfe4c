#include "carving/DeclaredSizes.h"

#include <string_view>

#include "carving/EndMarkers.h"
#include "carving/SizeLimits.h"
#include "platform/ByteView.h"

namespace salvora {
namespace {

// The file properties object of an ASF header.
constexpr std::string_view kAsfFileProperties{
    "\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65", 16};
constexpr size_t kAsfSearchFrom = 30;
constexpr size_t kAsfFileSizeAt = 40;  // after the object's identifier
constexpr size_t kAsfFlagsAt = 88;
constexpr uint32_t kAsfBroadcast = 1;

constexpr size_t kIconHeader = 6;
constexpr size_t kIconEntry = 16;

}  // namespace

uint64_t BitmapDeclaredSize(const uint8_t* bytes, size_t length) {
  ByteView view(bytes, length);
  if (!bytes || length < 6) return 0;
  uint64_t declared = view.U32(2);
  return declared > kBitmapCap - 1 ? kBitmapCap : declared;
}

uint64_t WaveDeclaredSize(const uint8_t* bytes, size_t length) {
  ByteView view(bytes, length);
  return uint64_t(view.U32(4)) + 8;
}

uint64_t AviDeclaredSize(const uint8_t* bytes, size_t length, int sectorSize) {
  if (!bytes || length < 16) return uint64_t(sectorSize);
  return uint64_t(ByteView(bytes, length).U32(4)) + 8;
}

uint64_t FlashDeclaredSize(const uint8_t* bytes, size_t length, int sectorSize) {
  ByteView view(bytes, length);
  if (view.U8(0) != 'F' || !view.Has(4, 4)) return uint64_t(sectorSize);
  uint64_t declared = view.U32(4);
  return declared > kFlashCap - 1 ? kFlashCap : declared;
}

uint64_t AsfDeclaredSize(const uint8_t* bytes, size_t length, int sectorSize) {
  const uint64_t oneSector = uint64_t(sectorSize);
  size_t at = FindPattern(bytes, length, kAsfFileProperties, kAsfSearchFrom);
  if (at == std::string_view::npos) return oneSector;
  ByteView view(bytes, length);
  if (!view.Has(at + kAsfFlagsAt, 4) || !view.Has(at + kAsfFileSizeAt, 8)) return oneSector;
  if (view.U32(at + kAsfFlagsAt) & kAsfBroadcast) return oneSector;
  uint64_t size = view.U64(at + kAsfFileSizeAt);
  if ((size >> 32) != 0 || (size & 0xFFFFFFFFu) > kFlashCap - 1) return kFlashCap;
  return size & 0xFFFFFFFFu;
}

bool HoldsIconDirectory(const uint8_t* bytes, size_t length) {
  ByteView view(bytes, length);
  if (!view.Has(0, kIconHeader)) return false;
  size_t n = view.U16(4);
  return length >= kIconEntry * n + kIconHeader;
}

uint64_t IconDirectorySize(const uint8_t* bytes, size_t length) {
  if (!HoldsIconDirectory(bytes, length)) return 0;
  ByteView view(bytes, length);
  size_t n = view.U16(4);
  if (n == 0) return 0;
  // The last entry: its image size at +8 and image offset at +12, that is 16n - 2 and 16n + 2.
  uint64_t offset = view.U32(kIconEntry * n + 2);
  uint64_t size = view.U32(kIconEntry * n - 2);
  return offset + size;
}

}  // namespace salvora
