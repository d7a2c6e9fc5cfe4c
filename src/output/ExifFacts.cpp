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
  if (IsTiff(head)) head.insert(0, reinterpret_cast<const char*>(kExifHeader), sizeof kExifHeader);
  else if (uint8_t(head[0]) != 0xFF || uint8_t(head[1]) != 0xD8) return false;
  ExifData* data = exif_data_new_from_data(reinterpret_cast<const unsigned char*>(head.data()),
                                           static_cast<unsigned int>(head.size()));
  if (!data) return false;
  facts.taken = ExifDateTime(EntryText(data, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL));
  facts.model = EntryText(data, EXIF_IFD_0, EXIF_TAG_MODEL);
  exif_data_unref(data);
  return facts.taken != 0 || !facts.model.empty();
}

}  // namespace salvora
