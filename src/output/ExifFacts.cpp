#include "output/ExifFacts.h"

#include <libexif/exif-data.h>

#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/CalendarTime.h"
#include "platform/Clock.h"
#include "platform/FileIo.h"

namespace salvora {
namespace {

constexpr uint64_t kHeadBytes = 1 << 20;
constexpr unsigned char kExifHeader[] = {'E', 'x', 'i', 'f', 0, 0};

std::string EntryText(ExifData* data, ExifIfd ifd, ExifTag tag) {
  ExifEntry* entry = exif_content_get_entry(data->ifd[ifd], tag);
  if (!entry) return {};
  char text[128] = {};
  exif_entry_get_value(entry, text, sizeof text);
  std::string value(text, strnlen(text, sizeof text));
  while (!value.empty() && (value.back() == ' ' || value.back() == '\0')) value.pop_back();
  return value;
}

bool IsTiff(const std::string& head) {
  return head.size() >= 4 && (head.compare(0, 4, "II*\0", 4) == 0 || head.compare(0, 4, "MM\0*", 4) == 0);
}

// Olympus and Panasonic raws are TIFF files under another magic number; libexif wants TIFF's.
bool TiffUnderOtherMagic(std::string& head) {
  if (head.size() < 4) return false;
  const std::string start = head.substr(0, 4);
  if (start == "IIRO" || start == "IIRS" || start == std::string("IIU\0", 4)) {
    head[2] = '*';
    head[3] = '\0';
    return true;
  }
  if (start != "MMOR") return false;
  head[2] = '\0';
  head[3] = '*';
  return true;
}

// An Exif block inside a container (a HEIF picture's Exif item, a Fujifilm raw's preview): from
// its header on, as libexif reads it. HEIF items hold the TIFF without the Exif header; its first
// directory then follows the 8-byte TIFF header, as every writer lays it out.
bool CutToEmbeddedExif(std::string& head) {
  const std::string exifHeader(reinterpret_cast<const char*>(kExifHeader), sizeof kExifHeader);
  for (const std::string& order : {std::string("II*\0", 4), std::string("MM\0*", 4)}) {
    const size_t at = head.find(exifHeader + order);
    if (at == std::string::npos) continue;
    head.erase(0, at);
    return true;
  }
  for (const std::string& tiff : {std::string("II*\0\x08\0\0\0", 8), std::string("MM\0*\0\0\0\x08", 8)}) {
    const size_t at = head.find(tiff);
    if (at == std::string::npos) continue;
    head = exifHeader + head.substr(at);
    return true;
  }
  return false;
}

// The TIFF that follows the box type (Canon's CR3 keeps its Exif directories as TIFF files in
// boxes CMT1, CMT2), with the Exif header libexif wants; empty when there is none.
std::string BoxedTiff(const std::string& head, const char* type) {
  const size_t at = head.find(type);
  if (at == std::string::npos || at < 4) return {};
  const uint32_t size = uint32_t(uint8_t(head[at - 4])) << 24 | uint32_t(uint8_t(head[at - 3])) << 16 |
                        uint32_t(uint8_t(head[at - 2])) << 8 | uint8_t(head[at - 1]);
  if (size < 8 || at - 4 + size > head.size()) return {};
  return std::string(reinterpret_cast<const char*>(kExifHeader), sizeof kExifHeader) + head.substr(at + 4, size - 8);
}

// A tag wherever it stands: CR3 keeps the Exif directory's tags in a TIFF's first directory,
// which libexif drops unless told to keep tags where the standard does not put them.
std::string TagAnywhere(const std::string& block, ExifTag tag) {
  if (block.empty()) return {};
  ExifData* data = exif_data_new();
  if (!data) return {};
  exif_data_unset_option(data, EXIF_DATA_OPTION_IGNORE_UNKNOWN_TAGS);
  exif_data_unset_option(data, EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
  exif_data_load_data(data, reinterpret_cast<const unsigned char*>(block.data()), static_cast<unsigned int>(block.size()));
  std::string value;
  for (int ifd = 0; ifd < EXIF_IFD_COUNT && value.empty(); ++ifd)
    value = EntryText(data, ExifIfd(ifd), tag);
  exif_data_unref(data);
  return value;
}

bool ReadCanonBoxes(const std::string& head, ExifFacts& facts) {
  facts.model = TagAnywhere(BoxedTiff(head, "CMT1"), EXIF_TAG_MODEL);
  facts.taken = ExifDateTime(TagAnywhere(BoxedTiff(head, "CMT2"), EXIF_TAG_DATE_TIME_ORIGINAL));
  return facts.taken != 0 || !facts.model.empty();
}

}  // namespace

uint64_t ExifDateTime(const std::string& text) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%4d:%2d:%2d %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6) return 0;
  if (y < 1980 || y > 2200 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60) return 0;
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  return platform::UnixToFileTime(platform::UtcSeconds(tm));
}

bool ReadExifFacts(const std::string& path, ExifFacts& facts) {
  facts = ExifFacts{};
  std::string head;
  if (platform::ReadWholeFile(path, head, kHeadBytes) != 0 || head.size() < 4) return false;
  // libexif reads a JPEG's APP1 block itself; a TIFF file is an Exif block without its header.
  if (IsTiff(head) || TiffUnderOtherMagic(head))
    head.insert(0, reinterpret_cast<const char*>(kExifHeader), sizeof kExifHeader);
  else if (head.compare(4, 8, "ftypcrx ") == 0)
    return ReadCanonBoxes(head, facts);
  else if ((uint8_t(head[0]) != 0xFF || uint8_t(head[1]) != 0xD8) && !CutToEmbeddedExif(head))
    return false;
  ExifData* data = exif_data_new_from_data(reinterpret_cast<const unsigned char*>(head.data()),
                                           static_cast<unsigned int>(head.size()));
  if (!data) return false;
  facts.taken = ExifDateTime(EntryText(data, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL));
  facts.model = EntryText(data, EXIF_IFD_0, EXIF_TAG_MODEL);
  exif_data_unref(data);
  return facts.taken != 0 || !facts.model.empty();
}

}  // namespace salvora
