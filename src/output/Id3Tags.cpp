#include "output/Id3Tags.h"

#include "platform/ByteView.h"
#include "platform/FileDescriptor.h"
#include "platform/FileIo.h"
#include "platform/FileStatus.h"
#include "platform/TextEncoding.h"

namespace salvora {
namespace {

constexpr size_t kHeaderBytes = 10;
constexpr size_t kV1Bytes = 128;
constexpr uint64_t kMaxTagBytes = 1 << 20;

uint32_t SyncSafe(ByteView v, size_t offset) {
  return uint32_t(v.U8(offset) & 0x7F) << 21 | uint32_t(v.U8(offset + 1) & 0x7F) << 14 |
         uint32_t(v.U8(offset + 2) & 0x7F) << 7 | uint32_t(v.U8(offset + 3) & 0x7F);
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  size_t start = 0;
  while (start < text.size() && text[start] == ' ') ++start;
  return text.substr(start);
}

std::string Latin1(ByteView bytes) {
  std::string out;
  for (size_t i = 0; i < bytes.size() && bytes.U8(i) != 0; ++i) {
    const uint8_t c = bytes.U8(i);
    if (c < 0x80) {
      out += char(c);
    } else {
      out += char(0xC0 | c >> 6);
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string Utf16(ByteView bytes, bool bigEndian) {
  std::u16string units;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const char16_t unit = bigEndian ? bytes.U16Be(i) : bytes.U16(i);
    if (unit == 0) break;
    units += unit;
  }
  return platform::Utf16ToUtf8(units);
}

// A text frame's body: its encoding byte, then the text.
std::string FrameText(ByteView body) {
  if (body.size() < 1) return {};
  ByteView text = body.Sub(1, body.size() - 1);
  switch (body.U8(0)) {
    case 0: return Trimmed(Latin1(text));
    case 1: {
      const bool bigEndian = text.U8(0) == 0xFE && text.U8(1) == 0xFF;
      const bool bom = bigEndian || (text.U8(0) == 0xFF && text.U8(1) == 0xFE);
      return Trimmed(Utf16(bom ? text.Sub(2, text.size()) : text, bigEndian));
    }
    case 2: return Trimmed(Utf16(text, true));
    case 3: {
      std::string utf8(reinterpret_cast<const char*>(text.data()), text.size());
      return Trimmed(platform::TruncateUtf8(utf8.substr(0, utf8.find('\0')), utf8.size()));
    }
  }
  return {};
}

bool ParseV2(ByteView tag, Id3Tags& tags) {
  if (!tag.Equals(0, "ID3") || tag.size() < kHeaderBytes) return false;
  const uint8_t version = tag.U8(3);
  if (version < 2 || version > 4) return false;
  const uint8_t flags = tag.U8(5);
  // Unsynchronised tags would need undoing first; they are rare enough to be passed over.
  if (flags & 0x80) return false;
  const size_t end = std::min(tag.size(), kHeaderBytes + SyncSafe(tag, 6));
  size_t at = kHeaderBytes;
  if ((flags & 0x40) && version >= 3) at += version == 4 ? SyncSafe(tag, at) : tag.U32Be(at) + 4;
  const size_t idBytes = version == 2 ? 3 : 4, headBytes = version == 2 ? 6 : 10;
  while (at + headBytes <= end && tag.U8(at) != 0) {
    const std::string_view id(reinterpret_cast<const char*>(tag.data() + at), idBytes);
    const size_t size = version == 2   ? (size_t(tag.U8(at + 3)) << 16 | size_t(tag.U8(at + 4)) << 8 | tag.U8(at + 5))
                        : version == 4 ? SyncSafe(tag, at + 4)
                                       : tag.U32Be(at + 4);
    if (size > end - at - headBytes) break;
    ByteView body = tag.Sub(at + headBytes, size);
    if (id == "TIT2" || id == "TT2") tags.title = FrameText(body);
    if (id == "TPE1" || id == "TP1") tags.artist = FrameText(body);
    at += headBytes + size;
  }
  return !tags.title.empty();
}

bool ParseV1(ByteView tail, Id3Tags& tags) {
  if (tail.size() != kV1Bytes || !tail.Equals(0, "TAG")) return false;
  tags.title = Trimmed(Latin1(tail.Sub(3, 30)));
  tags.artist = Trimmed(Latin1(tail.Sub(33, 30)));
  return !tags.title.empty();
}

}  // namespace

bool ParseId3Tags(const std::string& head, const std::string& tail, Id3Tags& tags) {
  tags = Id3Tags{};
  if (ParseV2(ByteView(head.data(), head.size()), tags)) return true;
  tags = Id3Tags{};
  return ParseV1(ByteView(tail.data(), tail.size()), tags);
}

bool ReadId3Tags(const std::string& path, Id3Tags& tags) {
  std::string head, tail;
  if (platform::ReadWholeFile(path, head, kMaxTagBytes) != 0) return false;
  const int fd = platform::OpenFile(path, O_RDONLY);
  platform::FileStatus st;
  if (fd >= 0 && platform::StatFile(fd, st) == 0 && st.size >= kV1Bytes) {
    tail.resize(kV1Bytes);
    int error = 0;
    if (platform::ReadUpTo(fd, tail.data(), kV1Bytes, st.size - kV1Bytes, &error) != static_cast<long long>(kV1Bytes))
      tail.clear();
  }
  if (fd >= 0) platform::CloseFile(fd);
  return ParseId3Tags(head, tail, tags);
}

}  // namespace salvora
