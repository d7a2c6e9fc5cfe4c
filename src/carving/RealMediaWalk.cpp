#include <cstring>
#include <string_view>

#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint64_t kChunkHeader = 10;  // identifier, size, version
constexpr uint64_t kDataHeader = 18;   // and the packet count and the next data header's offset
constexpr uint64_t kPacketCountAt = 10;
constexpr uint64_t kPacketLengthAt = 2;
constexpr uint64_t kPacketHeader = 12;
constexpr uint64_t kClosingWords = 8;
constexpr uint32_t kMaxChunks = 1u << 20;

bool IsChunk(const char id[4]) {
  static constexpr std::string_view kIds[] = {".RMF", "PROP", "MDPR", "CONT", "DATA", "INDX", "RMMD", "RJMD"};
  for (std::string_view k : kIds)
    if (std::memcmp(id, k.data(), 4) == 0) return true;
  return false;
}

// The end of a DATA chunk's packets, each of the length its header gives, or nullopt. Some writers
// (ffmpeg) declare a DATA chunk longer than its packets and close it with two zero words; the
// packets and those words are what the file holds.
std::optional<uint64_t> EndOfPackets(ByteSource& source, uint64_t chunk) {
  const auto packets = source.U32Be(chunk + kPacketCountAt);
  if (!packets) return std::nullopt;
  uint64_t at = chunk + kDataHeader;
  for (uint32_t i = 0; i < *packets; ++i) {
    const auto length = source.U16Be(at + kPacketLengthAt);
    if (!length || *length < kPacketHeader) return std::nullopt;
    at += *length;
  }
  if (source.U64Be(at) == 0u) at += kClosingWords;
  return at;
}

}  // namespace

// RealMedia: chunks of declared sizes from the .RMF header on; the file ends where the next bytes
// name no chunk.
WalkResult WalkRealMedia(ByteSource& source) {
  char id[4];
  if (!source.Read(0, id, 4) || std::memcmp(id, ".RMF", 4) != 0) return WalkResult::None();
  uint64_t at = 0;
  bool data = false;
  for (uint32_t chunks = 0; chunks < kMaxChunks; ++chunks) {
    const auto size = source.U32Be(at + 4);
    if (!source.Read(at, id, 4) || !IsChunk(id) || !size) break;
    if (*size < kChunkHeader - 2) return WalkResult::BrokenAt(at);
    uint64_t end = at + *size;
    if (std::memcmp(id, "DATA", 4) == 0) {
      data = true;
      const auto packets = EndOfPackets(source, at);
      if (packets && *packets < end) end = *packets;
    }
    if (end > source.Limit()) return WalkResult::BrokenAt(at);
    at = end;
  }
  if (!data) return WalkResult::BrokenAt(at);
  return WalkResult::Measured(at);
}

}  // namespace salvora
