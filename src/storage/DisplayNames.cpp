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

std::string SuggestedDiskImageName(uint32_t diskNumber) {
  return "Physical Disk " + std::to_string(uint64_t(diskNumber) + 1);
}

}  // namespace salvora
