#include "storage/DisplayNames.h"

#include "platform/TextEncoding.h"
#include "storage/FormatText.h"

namespace salvora {
namespace {

std::string LetterText(const VolumeEntry& entry) {
  if (entry.lettered) return platform::Utf16ToUtf8(std::u16string(1, entry.letter));
  return std::to_string(entry.Number());
}

}  // namespace

std::string DiskDisplayName(uint32_t diskNumber, const std::string& diskWord) {
  return diskWord + " " + std::to_string(uint64_t(diskNumber) + 1);
}

std::string EntryDisplayName(const VolumeEntry& entry) {
  return LetterText(entry) + ":\\ " + entry.label;
}

std::string EntryLocationText(const VolumeEntry& entry) {
  if (!entry.devicePath.empty()) {
    std::string text = entry.devicePath;
    if (!entry.rootPath.empty()) {
      std::string mount = entry.rootPath;
      if (mount.size() > 1 && mount.back() == '/') mount.pop_back();
      text += " on " + mount;
    }
    return text;
  }
  if (entry.length == 0) return entry.diskPath;
  return entry.diskPath + " sectors " + std::to_string(entry.start) + "-" +
         std::to_string(entry.start + entry.length - 1);
}

std::string SuggestedImageName(const VolumeEntry& entry) {
  return LetterText(entry) + " (" + entry.fileSystemName + ", " + FormatSize(entry.totalBytes) + ")";
}

std::string DeviceNameOf(const VolumeEntry& entry) {
  auto base = [](const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
  };
  if (!entry.devicePath.empty()) return base(entry.devicePath);
  if (entry.lettered) return LetterText(entry) + ":";
  if (entry.diskPath.empty()) return {};
  std::string disk = base(entry.diskPath);
  if (entry.kind != VolumeEntry::Kind::Volume || entry.partitionNumber == VolumeEntry::kUnknown ||
      entry.partitionNumber == 0)
    return disk;
  const bool digit = !disk.empty() && disk.back() >= '0' && disk.back() <= '9';
  return disk + (digit ? "p" : "") + std::to_string(entry.partitionNumber);
}

std::string CompactSize(uint64_t bytes) {
  static const char* const kUnits[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
  if (bytes < 1024) return std::to_string(bytes) + " Bytes";
  double value = double(bytes);
  int unit = -1;
  while (value >= 1024 && unit < 5) {
    value /= 1024;
    ++unit;
  }
  // Tenths, rounded; 1023.96 KB reads "1 MB", not "1024 KB".
  uint64_t tenths = uint64_t(value * 10 + 0.5);
  if (tenths >= 10240 && unit < 5) {
    tenths = 10;
    ++unit;
  }
  std::string text = std::to_string(tenths / 10);
  if (tenths % 10) text += "." + std::to_string(tenths % 10);
  return text + " " + kUnits[unit];
}

std::string LinuxVolumeName(const VolumeEntry& entry) {
  std::string name = DeviceNameOf(entry);
  if (name.empty()) name = std::to_string(entry.Number());
  if (!entry.label.empty()) name += " " + entry.label;
  const std::string fs = entry.fileSystemName.empty() ? std::string() : entry.fileSystemName + ", ";
  return name + " (" + fs + CompactSize(entry.totalBytes) + ")";
}

std::string SuggestedDiskImageName(uint32_t diskNumber) {
  return "Physical Disk " + std::to_string(uint64_t(diskNumber) + 1);
}

}  // namespace salvora
