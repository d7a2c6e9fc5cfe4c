#include "output/ItunesTags.h"

#include "output/IsoBoxFile.h"
#include "platform/FileDescriptor.h"
#include "platform/FileIo.h"
#include "platform/FileStatus.h"

namespace salvora {
namespace {

constexpr uint64_t kMaxText = 1024;
constexpr uint64_t kFullBoxHeader = 4;  // meta's version and flags
constexpr uint64_t kDataHeader = 8;     // a data box's type indicator and locale

// The UTF-8 text of the data box inside the item box of type, or "".
std::string ItemText(int fd, const IsoBox& list, const char* type) {
  IsoBox item, data;
  if (!FindIsoBox(fd, list.BodyStart(), list.End(), type, item) ||
      !FindIsoBox(fd, item.BodyStart(), item.End(), "data", data) ||
      data.size < data.header + kDataHeader)
    return {};
  const uint64_t length = data.size - data.header - kDataHeader;
  std::string text(length < kMaxText ? length : kMaxText, '\0');
  int error = 0;
  const long long got = platform::ReadUpTo(fd, text.data(), text.size(), data.BodyStart() + kDataHeader, &error);
  text.resize(got > 0 ? size_t(got) : 0);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  return text;
}

}  // namespace

bool ReadItunesTags(const std::string& path, Id3Tags& tags) {
  tags = Id3Tags{};
  const int fd = platform::OpenFile(path, O_RDONLY);
  if (fd < 0) return false;
  platform::FileStatus st;
  IsoBox moov, udta, meta, ilst;
  if (platform::StatFile(fd, st) == 0 && FindIsoBox(fd, 0, st.size, "moov", moov) &&
      FindIsoBox(fd, moov.BodyStart(), moov.End(), "udta", udta) &&
      FindIsoBox(fd, udta.BodyStart(), udta.End(), "meta", meta) &&
      FindIsoBox(fd, meta.BodyStart() + kFullBoxHeader, meta.End(), "ilst", ilst)) {
    tags.artist = ItemText(fd, ilst, "\xA9" "ART");
    tags.title = ItemText(fd, ilst, "\xA9" "nam");
  }
  platform::CloseFile(fd);
  return !tags.title.empty();
}

}  // namespace salvora
