#include "platform/DeviceAnswers.h"

#include <algorithm>
#include <cstdio>

#include "platform/ByteView.h"
#include "platform/TextEncoding.h"

namespace salvora::platform {
namespace {

// DISK_GEOMETRY_EX: DISK_GEOMETRY (24 bytes) then the disk size.
constexpr size_t kGeometryBytes = 32;
// DRIVE_LAYOUT_INFORMATION_EX: style, count, a 40-byte union, then 144-byte entries.
constexpr size_t kLayoutHeaderBytes = 48;
constexpr size_t kLayoutEntryBytes = 144;
constexpr uint32_t kStyleMbr = 0, kStyleGpt = 1;
// VOLUME_DISK_EXTENTS: count (padded to 8), then 24-byte extents.
constexpr size_t kExtentsHeaderBytes = 8;
constexpr size_t kExtentBytes = 24;
// STORAGE_DEVICE_DESCRIPTOR up to the bus type.
constexpr size_t kDescriptorBytes = 32;
// MOUNTMGR_MOUNT_POINTS: size, count, then 24-byte points.
constexpr size_t kPointsHeaderBytes = 8;
constexpr size_t kPointBytes = 24;
// Ceilings far above any real answer, so a corrupt count cannot make a huge list.
constexpr uint32_t kMaxEntries = 4096;

std::string GuidText(ByteView b) {
  char text[40];
  std::snprintf(text, sizeof text, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", b.U32(0), b.U16(4), b.U16(6),
                b.U8(8), b.U8(9), b.U8(10), b.U8(11), b.U8(12), b.U8(13), b.U8(14), b.U8(15));
  return text;
}

bool IsExtendedType(uint8_t type) { return type == 0x05 || type == 0x0F || type == 0x85; }

// A NUL-terminated ASCII string at offset, "" when the offset is 0 or outside the answer.
std::string AsciiAt(ByteView b, uint32_t offset) {
  std::string text;
  if (offset == 0) return text;
  for (size_t at = offset; b.Has(at, 1) && b.U8(at) != 0 && text.size() < 256; ++at) text += char(b.U8(at));
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

bool Utf16At(ByteView b, uint32_t offset, uint16_t length, std::string& text) {
  if (length % 2 != 0 || !b.Has(offset, length)) return false;
  text = Utf16LeBytesToUtf8(b.data() + offset, length / 2);
  return true;
}

}  // namespace

bool DecodeGeometry(const std::vector<uint8_t>& answer, GeometryAnswer& geometry) {
  const ByteView b(answer.data(), answer.size());
  if (!b.Has(0, kGeometryBytes)) return false;
  geometry.cylinders = b.U64(0);
  geometry.mediaType = b.U32(8);
  geometry.tracksPerCylinder = b.U32(12);
  geometry.sectorsPerTrack = b.U32(16);
  geometry.bytesPerSector = b.U32(20);
  geometry.diskBytes = b.U64(24);
  const uint32_t sector = geometry.bytesPerSector;
  return sector >= 512 && sector <= 65536 && (sector & (sector - 1)) == 0;
}

bool DecodeLength(const std::vector<uint8_t>& answer, uint64_t& bytes) {
  const ByteView b(answer.data(), answer.size());
  if (!b.Has(0, 8)) return false;
  bytes = b.U64(0);
  return true;
}

bool DecodeLayout(const std::vector<uint8_t>& answer, LayoutAnswer& layout) {
  layout = LayoutAnswer{};
  const ByteView b(answer.data(), answer.size());
  if (!b.Has(0, kLayoutHeaderBytes)) return false;
  const uint32_t style = b.U32(0), count = b.U32(4);
  if (count > kMaxEntries || !b.Has(kLayoutHeaderBytes, size_t(count) * kLayoutEntryBytes)) return false;
  layout.style = style == kStyleMbr ? LayoutAnswer::Style::Mbr
                 : style == kStyleGpt ? LayoutAnswer::Style::Gpt
                                      : LayoutAnswer::Style::Raw;
  for (uint32_t i = 0; i < count; ++i) {
    const ByteView e = b.Sub(kLayoutHeaderBytes + size_t(i) * kLayoutEntryBytes, kLayoutEntryBytes);
    LayoutPartition p;
    p.startByte = e.U64(8);
    p.lengthBytes = e.U64(16);
    p.number = e.U32(24);
    if (p.lengthBytes == 0) continue;  // MBR slots Windows lists although they are empty
    if (e.U32(0) == kStyleMbr) {
      p.mbrType = e.U8(32);
      p.extended = IsExtendedType(p.mbrType);
    } else if (e.U32(0) == kStyleGpt) {
      p.gptType = GuidText(e.Sub(32, 16));
    }
    layout.partitions.push_back(p);
  }
  std::stable_sort(layout.partitions.begin(), layout.partitions.end(),
                   [](const LayoutPartition& a, const LayoutPartition& b) { return a.startByte < b.startByte; });
  return true;
}

bool DecodeExtents(const std::vector<uint8_t>& answer, std::vector<DiskExtent>& extents) {
  extents.clear();
  const ByteView b(answer.data(), answer.size());
  if (!b.Has(0, kExtentsHeaderBytes)) return false;
  const uint32_t count = b.U32(0);
  if (count > kMaxEntries || !b.Has(kExtentsHeaderBytes, size_t(count) * kExtentBytes)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    const ByteView e = b.Sub(kExtentsHeaderBytes + size_t(i) * kExtentBytes, kExtentBytes);
    extents.push_back({e.U32(0), e.U64(8), e.U64(16)});
  }
  return true;
}

bool DecodeDeviceNumber(const std::vector<uint8_t>& answer, DeviceNumberAnswer& number) {
  const ByteView b(answer.data(), answer.size());
  if (!b.Has(0, 12)) return false;
  number = {b.U32(0), b.U32(4), b.U32(8)};
  return true;
}

bool DecodeStorageDescriptor(const std::vector<uint8_t>& answer, StorageAnswer& storage) {
  storage = StorageAnswer{};
  // The descriptor's own size may be less than the buffer; nothing past it is read.
  const ByteView whole(answer.data(), answer.size());
  if (!whole.Has(0, kDescriptorBytes)) return false;
  const ByteView b = whole.Sub(0, std::max<size_t>(whole.U32(4), kDescriptorBytes));
  storage.removableMedia = b.U8(10) != 0;
  storage.vendor = AsciiAt(b, b.U32(12));
  storage.product = AsciiAt(b, b.U32(16));
  storage.busType = b.U32(28);
  return true;
}

std::vector<uint8_t> StoragePropertyQuery() { return std::vector<uint8_t>(12, 0); }

bool DecodeMountPoints(const std::vector<uint8_t>& answer, std::vector<MountPointAnswer>& points) {
  points.clear();
  const ByteView b(answer.data(), answer.size());
  if (!b.Has(0, kPointsHeaderBytes)) return false;
  const uint32_t count = b.U32(4);
  if (count > kMaxEntries || !b.Has(kPointsHeaderBytes, size_t(count) * kPointBytes)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    const ByteView p = b.Sub(kPointsHeaderBytes + size_t(i) * kPointBytes, kPointBytes);
    MountPointAnswer point;
    if (p.U16(4) == 0 || !Utf16At(b, p.U32(0), p.U16(4), point.link)) continue;
    if (!Utf16At(b, p.U32(16), p.U16(20), point.device)) continue;
    points.push_back(point);
  }
  return true;
}

char DriveLetterOf(const std::string& link) {
  static const std::string kPrefix = "\\DosDevices\\";
  if (link.size() != kPrefix.size() + 2 || link.compare(0, kPrefix.size(), kPrefix) != 0 || link.back() != ':')
    return 0;
  const char letter = link[kPrefix.size()];
  return (letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z') ? char(letter & ~0x20) : 0;
}

}  // namespace salvora::platform
