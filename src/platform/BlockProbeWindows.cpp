#include "platform/BlockProbe.h"

#include <algorithm>
#include <vector>

#include "platform/ByteView.h"
#include "platform/DeviceAnswers.h"
#include "platform/RawSource.h"
#include "platform/TextEncoding.h"
#include "platform/WindowsDevice.h"

// Windows has no libblkid. The file systems the engines read are told apart by their boot
// sectors; a disk's partitions come from the system's own layout of it, an image file's from its
// MBR (primary entries) or GPT.
namespace salvora::platform {
namespace {

constexpr size_t kSector = 512;
constexpr uint32_t kMaxGptEntries = 1024;

bool ReadExactly(FileSource& source, uint64_t offset, std::vector<uint8_t>& bytes) {
  int error = 0;
  return source.ReadAt(bytes.data(), bytes.size(), offset, &error) == static_cast<long long>(bytes.size());
}

std::string LabelAt(ByteView boot, size_t offset) {
  std::string label(reinterpret_cast<const char*>(boot.data()) + offset, 11);
  while (!label.empty() && (label.back() == ' ' || label.back() == '\0')) label.pop_back();
  return label == "NO NAME" ? "" : Cp437ToUtf8(reinterpret_cast<const uint8_t*>(label.data()), label.size());
}

void Recognise(ByteView boot, FileSystemProbe& result) {
  if (boot.U16(510) != 0xAA55) return;
  if (boot.Equals(3, "NTFS    ")) {
    result.type = "ntfs";
  } else if (boot.Equals(3, "EXFAT   ")) {
    result.type = "exfat";
  } else if (boot.Equals(82, "FAT32   ")) {
    result.type = "vfat";
    result.version = "FAT32";
    result.label = LabelAt(boot, 71);
  } else if (boot.Equals(54, "FAT12   ") || boot.Equals(54, "FAT16   ") || boot.Equals(54, "FAT     ")) {
    result.type = "vfat";
    result.version = boot.Equals(54, "FAT12   ") ? "FAT12" : "FAT16";
    result.label = LabelAt(boot, 43);
  }
}

bool IsExtended(uint8_t type) { return type == 0x05 || type == 0x0F || type == 0x85; }

void ReadGpt(FileSource& source, PartitionTableProbe& result) {
  std::vector<uint8_t> header(kSector);
  if (!ReadExactly(source, kSector, header)) return;
  const ByteView h(header.data(), header.size());
  if (!h.Equals(0, "EFI PART")) return;
  const uint64_t entriesAt = h.U64(72);
  const uint32_t count = h.U32(80), entryBytes = h.U32(84);
  if (count > kMaxGptEntries || entryBytes < 128 || entryBytes > 4096 || entriesAt > UINT64_MAX / kSector) return;
  std::vector<uint8_t> entries(size_t(count) * entryBytes);
  if (!ReadExactly(source, entriesAt * kSector, entries)) return;
  result.tableType = "gpt";
  result.partitions.clear();
  for (uint32_t i = 0; i < count; ++i) {
    const ByteView e(entries.data() + size_t(i) * entryBytes, entryBytes);
    const uint64_t first = e.U64(32), last = e.U64(40);
    if (e.U64(0) == 0 && e.U64(8) == 0) continue;  // unused entry
    if (last < first) continue;
    PartitionProbe p;
    p.number = i + 1;
    p.start512 = first;
    p.size512 = last - first + 1;
    result.partitions.push_back(p);
  }
}

int TableOfImage(const std::string& path, PartitionTableProbe& result) {
  FileSource source;
  if (int rc = source.Open(path); rc != 0) return rc;
  std::vector<uint8_t> mbr(kSector);
  if (!ReadExactly(source, 0, mbr)) return 0;
  const ByteView b(mbr.data(), mbr.size());
  if (b.U16(510) != 0xAA55) return 0;
  // A boot sector of a file system is no partition table.
  FileSystemProbe fs;
  Recognise(b, fs);
  if (!fs.type.empty()) return 0;
  result.tableType = "dos";
  for (uint32_t i = 0; i < 4; ++i) {
    const ByteView e = b.Sub(446 + i * 16, 16);
    const uint8_t type = e.U8(4);
    if (type == 0 || e.U32(12) == 0) continue;
    if (type == 0xEE) {
      ReadGpt(source, result);
      return 0;
    }
    PartitionProbe p;
    p.number = i + 1;
    p.start512 = e.U32(8);
    p.size512 = e.U32(12);
    p.typeByte = type;
    p.extended = IsExtended(type);
    result.partitions.push_back(p);
  }
  return 0;
}

int TableOfDevice(const std::string& path, PartitionTableProbe& result) {
  int error = 0;
  auto handle = OpenWindowsDevice(path, &error);
  if (!handle) return TableOfImage(path, result);
  std::vector<uint8_t> answer;
  LayoutAnswer layout;
  if (handle->Control(ioctl::kDiskGetDriveLayoutEx, {}, 48 + 144 * 128, answer) != 0 || !DecodeLayout(answer, layout))
    return 0;
  if (layout.style == LayoutAnswer::Style::Raw) return 0;
  result.tableType = layout.style == LayoutAnswer::Style::Gpt ? "gpt" : "dos";
  for (const LayoutPartition& lp : layout.partitions) {
    PartitionProbe p;
    p.number = lp.number;
    p.start512 = lp.startByte / 512;
    p.size512 = lp.lengthBytes / 512;
    p.typeByte = lp.mbrType;
    p.extended = lp.extended;
    result.partitions.push_back(p);
  }
  return 0;
}

}  // namespace

int ProbeFileSystem(const std::string& path, uint64_t offset, uint64_t, FileSystemProbe& result) {
  result = FileSystemProbe{};
  FileSource source;
  if (int rc = source.Open(path); rc != 0) return rc;
  std::vector<uint8_t> boot(kSector);
  if (ReadExactly(source, offset, boot)) Recognise(ByteView(boot.data(), boot.size()), result);
  return 0;
}

int ProbePartitionTable(const std::string& path, PartitionTableProbe& result) {
  result = PartitionTableProbe{};
  const int rc = IsWindowsDevicePath(path) ? TableOfDevice(path, result) : TableOfImage(path, result);
  std::sort(result.partitions.begin(), result.partitions.end(),
            [](const PartitionProbe& a, const PartitionProbe& b) { return a.start512 < b.start512; });
  return rc;
}

}  // namespace salvora::platform
