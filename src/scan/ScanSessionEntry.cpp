#include "scan/ScanSessionEntry.h"

#include <cstring>

#include "platform/TextEncoding.h"

namespace salvora {
namespace {

std::string ReadPath(const uint8_t* field) {
  size_t units = 0;
  while (units < ScanSessionEntry::kPathUnits && (field[2 * units] | field[2 * units + 1]) != 0)
    ++units;
  return platform::Utf16LeBytesToUtf8(field, units);
}

bool WritePath(uint8_t* field, const std::string& path) {
  std::u16string units = platform::Utf8ToUtf16(path);
  if (units.size() >= ScanSessionEntry::kPathUnits || units.find(u'\0') != std::u16string::npos)
    return false;
  std::memset(field, 0, ScanSessionEntry::kPathUnits * 2);
  for (size_t i = 0; i < units.size(); ++i) {
    field[2 * i] = uint8_t(units[i]);
    field[2 * i + 1] = uint8_t(units[i] >> 8);
  }
  return true;
}

}  // namespace

ResumePosition ScanSessionEntry::Resume() const {
  return {rangeStart_.get(), rangeLength_.get(), rangeSwept_.get(), totalSwept_.get(),
          foundBefore_.get()};
}

void ScanSessionEntry::SetResume(const ResumePosition& resume) {
  rangeStart_.set(resume.rangeStart);
  rangeLength_.set(resume.rangeLength);
  rangeSwept_.set(resume.rangeSwept);
  totalSwept_.set(resume.totalSwept);
  foundBefore_.set(resume.foundBefore);
}

std::string ScanSessionEntry::ImagePath() const { return ReadPath(imagePath_); }
std::string ScanSessionEntry::SessionFolder() const { return ReadPath(sessionFolder_); }
bool ScanSessionEntry::SetImagePath(const std::string& path) { return WritePath(imagePath_, path); }
bool ScanSessionEntry::SetSessionFolder(const std::string& folder) {
  return WritePath(sessionFolder_, folder);
}

}  // namespace salvora
