#include <string_view>

#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint64_t kRiffHeader = 12;
constexpr uint64_t kChunkHeader = 8;

}  // namespace

// A WebP picture is one RIFF chunk whose declared length holds its sub-chunks exactly (each padded
// to an even length); the chunk chain is walked so that a wrong length is not trusted.
WalkResult WalkWebp(ByteSource& source) {
  char form[4];
  const auto riff = source.U32Le(4);
  if (source.U32Be(0) != 0x52494646u || !riff || !source.Read(8, form, 4) ||
      std::string_view(form, 4) != "WEBP")
    return WalkResult::None();
  const uint64_t end = kChunkHeader + *riff;
  if (*riff % 2 != 0 || end > source.Limit()) return WalkResult::BrokenAt(4);
  uint64_t at = kRiffHeader;
  while (at < end) {
    const auto size = source.U32Le(at + 4);
    if (!size || end - at < kChunkHeader || *size > end - at - kChunkHeader) return WalkResult::BrokenAt(at);
    at += kChunkHeader + *size + (*size & 1);
  }
  return at == end ? WalkResult::Measured(end) : WalkResult::BrokenAt(end);
}

}  // namespace salvora
