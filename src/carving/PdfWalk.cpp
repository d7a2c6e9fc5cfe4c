#include <algorithm>
#include <cstring>
#include <string_view>

#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr std::string_view kEof = "%%EOF";
constexpr std::string_view kStartXref = "startxref";
// How far before %%EOF the startxref keyword may stand: the keyword, an offset of up to 20
// digits and the line ends around them.
constexpr uint64_t kTrailerReach = 48;

bool ClosesXrefSection(ByteSource& source, uint64_t eof) {
  const uint64_t from = eof > kTrailerReach ? eof - kTrailerReach : 0;
  char tail[kTrailerReach];
  const size_t n = size_t(eof - from);
  if (!source.Read(from, tail, n)) return false;
  return std::string_view(tail, n).find(kStartXref) != std::string_view::npos;
}

}  // namespace

// A PDF has no length of its own: each incremental update appends a cross-reference section and a
// trailer ending in %%EOF. The file ends after the last such %%EOF in the source and its line end.
WalkResult WalkPdf(ByteSource& source) {
  char magic[5];
  if (!source.Read(0, magic, 5) || std::memcmp(magic, "%PDF-", 5) != 0) return WalkResult::None();
  std::optional<uint64_t> end;
  uint64_t from = 0;
  while (auto hit = source.Find(from, source.Limit(), kEof.data(), kEof.size())) {
    from = *hit + kEof.size();
    if (!ClosesXrefSection(source, *hit)) continue;
    uint64_t e = from;
    const auto c = source.U8(e);
    if (c == '\r') e += source.U8(e + 1) == '\n' ? 2 : 1;
    else if (c == '\n') e += 1;
    end = e;
  }
  if (!end) return WalkResult::BrokenAt(source.Limit());
  return WalkResult::Measured(*end);
}

}  // namespace salvora
