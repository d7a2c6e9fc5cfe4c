#include <cstring>

#include "carving/InflateStream.h"
#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint64_t kHeader = 8;  // signature, version, length of the uncompressed movie
constexpr uint64_t kLengthAt = 4;

}  // namespace

// A zlib-compressed Flash movie (CWS) declares the length of the movie once inflated, not its own;
// its end is the end of the zlib stream, which must inflate to that length. Uncompressed movies
// (FWS) keep their declared size; LZMA ones (ZWS) are not measured.
WalkResult WalkFlashMovie(ByteSource& source) {
  char magic[3];
  if (!source.Read(0, magic, 3) || std::memcmp(magic, "CWS", 3) != 0) return WalkResult::None();
  const auto declared = source.U32Le(kLengthAt);
  if (!declared) return WalkResult::BrokenAt(kLengthAt);
  const auto inflated = InflateStream(source, kHeader, DeflateWrapper::Zlib);
  if (!inflated) return WalkResult::BrokenAt(kHeader);
  if (uint64_t(inflated->length) + kHeader != *declared) return WalkResult::BrokenAt(inflated->end);
  return WalkResult::Measured(inflated->end);
}

}  // namespace salvora
