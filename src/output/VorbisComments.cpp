#include "output/VorbisComments.h"

#include <FLAC/metadata.h>

#include <cctype>
#include <string_view>
#include <vector>

#include "platform/FileIo.h"

namespace salvora {
namespace {

constexpr uint64_t kOggHead = 64 * 1024;
constexpr size_t kPageHeader = 27;
constexpr uint32_t kMaxComments = 1024;

bool KeyIs(std::string_view comment, std::string_view key) {
  if (comment.size() <= key.size() || comment[key.size()] != '=') return false;
  for (size_t i = 0; i < key.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(comment[i])) != key[i]) return false;
  return true;
}

void Take(std::string_view comment, Id3Tags& tags) {
  if (KeyIs(comment, "ARTIST") && tags.artist.empty()) tags.artist = std::string(comment.substr(7));
  if (KeyIs(comment, "TITLE") && tags.title.empty()) tags.title = std::string(comment.substr(6));
}

// The second packet of the stream that begins the file, gathered across pages; empty when the
// head does not hold it whole.
std::string SecondPacket(ByteView head) {
  std::string packet;
  int index = 0;
  uint32_t serial = 0;
  for (size_t at = 0; head.Has(at, kPageHeader) && head.Equals(at, "OggS");) {
    const size_t segments = head.U8(at + 26);
    const size_t body = at + kPageHeader + segments;
    if (!head.Has(at + kPageHeader, segments)) break;
    if (at == 0) serial = head.U32(14);
    size_t offset = body;
    for (size_t i = 0; i < segments; ++i) {
      const size_t lace = head.U8(at + kPageHeader + i);
      if (!head.Has(offset, lace)) return {};
      if (head.U32(at + 14) == serial && index == 1) packet.append(reinterpret_cast<const char*>(head.data() + offset), lace);
      offset += lace;
      if (lace < 255 && head.U32(at + 14) == serial && index++ == 1) return packet;
    }
    at = offset;
  }
  return {};
}

}  // namespace

bool ParseVorbisComments(ByteView list, Id3Tags& tags) {
  tags = Id3Tags{};
  size_t at = 4 + size_t(list.U32(0));
  if (!list.Has(0, 4) || !list.Has(at, 4)) return false;
  const uint32_t count = list.U32(at);
  at += 4;
  for (uint32_t i = 0; i < count && i < kMaxComments && list.Has(at, 4); ++i) {
    const size_t length = list.U32(at);
    if (!list.Has(at + 4, length)) break;
    Take(std::string_view(reinterpret_cast<const char*>(list.data() + at + 4), length), tags);
    at += 4 + length;
  }
  return !tags.title.empty();
}

bool ReadOggTags(const std::string& path, Id3Tags& tags) {
  tags = Id3Tags{};
  std::string head;
  if (platform::ReadWholeFile(path, head, kOggHead) != 0) return false;
  const std::string packet = SecondPacket(ByteView(head.data(), head.size()));
  const ByteView v(packet.data(), packet.size());
  if (v.Equals(0, "\x03vorbis")) return ParseVorbisComments(v.Sub(7, v.size()), tags);
  if (v.Equals(0, "OpusTags")) return ParseVorbisComments(v.Sub(8, v.size()), tags);
  return false;
}

bool ReadFlacTags(const std::string& path, Id3Tags& tags) {
  tags = Id3Tags{};
  FLAC__StreamMetadata* block = nullptr;
  if (!FLAC__metadata_get_tags(path.c_str(), &block) || block == nullptr) return false;
  const FLAC__StreamMetadata_VorbisComment& comments = block->data.vorbis_comment;
  for (uint32_t i = 0; i < comments.num_comments; ++i)
    Take(std::string_view(reinterpret_cast<const char*>(comments.comments[i].entry), comments.comments[i].length), tags);
  FLAC__metadata_object_delete(block);
  return !tags.title.empty();
}

}  // namespace salvora
