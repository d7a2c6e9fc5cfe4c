#include "fat/FatNames.h"

#include "platform/TextEncoding.h"

namespace salvora {
namespace {

// Copies count name bytes from start, trailing spaces removed, A-Z lower-cased when lower is set;
// the first byte of the base name gets the lost-letter mark and the 0x05 escape for a real 0xE5.
std::string ShortPart(const FatDirEntry& entry, size_t start, size_t count, bool lower) {
  uint8_t bytes[8] = {};
  size_t length = 0;
  for (size_t i = 0; i < count; ++i) {
    uint8_t b = entry.NameByte(start + i);
    if (start == 0 && i == 0) {
      if (b == FatDirEntry::kDeletedMark) b = kLostLetter;
      else if (b == 0x05) b = 0xE5;
    }
    if (lower && b >= 'A' && b <= 'Z') b = uint8_t(b - 'A' + 'a');
    bytes[i] = b;
    if (b != ' ') length = i + 1;
  }
  return platform::Cp437ToUtf8(bytes, length);
}

}  // namespace

std::string FatShortFileName(const FatDirEntry& entry) {
  std::string name = ShortPart(entry, 0, 8, entry.LowerCaseBase());
  if (entry.NameByte(8) != ' ') name += "." + ShortPart(entry, 8, 3, entry.LowerCaseExtension());
  return name;
}

std::string FatShortFolderName(const FatDirEntry& entry) { return ShortPart(entry, 0, 8, entry.LowerCaseBase()); }

bool FatLongNameCollector::Prepend(const FatDirEntry& part) {
  if (overlong_ || position_ < kUnitsPerPart) {
    overlong_ = true;
    return false;
  }
  position_ -= kUnitsPerPart;
  for (size_t i = 0; i < kUnitsPerPart; ++i) units_[position_ + i] = char16_t(part.LongNameChar(int(i)));
  pending_ = true;
  return true;
}

void FatLongNameCollector::Clear() {
  position_ = kCapacity;
  pending_ = false;
  overlong_ = false;
}

std::string FatLongNameCollector::Name() const {
  size_t end = position_;
  while (end < kCapacity && units_[end] != 0) ++end;
  return platform::Utf16ToUtf8(units_.data() + position_, end - position_);
}

}  // namespace salvora
