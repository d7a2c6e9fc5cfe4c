#include <cstring>
#include <string_view>

#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint64_t kBoxHeader = 8;
constexpr uint64_t kLargeBoxHeader = 16;
constexpr uint32_t kLargeSize = 1;  // the 64-bit size follows the type
constexpr uint32_t kMaxTopLevelBoxes = 65536;

// The boxes that stand at the top level of ISO media and QuickTime files. A file ends where the
// next eight bytes do not name one of them: stale bytes rarely spell a known type.
bool IsTopLevelType(const char type[4]) {
  static constexpr std::string_view kTypes[] = {
      "ftyp", "moov", "mdat", "free", "skip", "wide", "uuid", "meta", "moof", "mfra", "pdin",
      "styp", "sidx", "ssix", "prft", "emsg", "pnot", "PICT", "junk", "udta", "bloc", "jP  ",
  };
  for (std::string_view t : kTypes)
    if (std::memcmp(type, t.data(), 4) == 0) return true;
  return false;
}

}  // namespace

WalkResult WalkIsoMedia(ByteSource& source) { return WalkTopLevelBoxes(source, "moov"); }

WalkResult WalkTopLevelBoxes(ByteSource& source, const char (&essential)[5]) {
  uint64_t at = 0;
  uint64_t lastMediaData = 0;  // header end of the last mdat box, when it is the last box
  bool whole = false;
  for (uint32_t boxes = 0;; ++boxes) {
    char type[4];
    const auto size32 = source.U32Be(at);
    const bool header = size32 && source.Read(at + 4, type, 4) && IsTopLevelType(type);
    if (!header || boxes == kMaxTopLevelBoxes) {
      if (boxes == 0) return WalkResult::None();
      // The movie's (or picture's) metadata box is what makes the file usable; without it the end
      // is unknown.
      if (!whole) return WalkResult::BrokenAt(at);
      return WalkResult::Measured(at, lastMediaData ? lastMediaData : at);
    }
    uint64_t size = *size32;
    uint64_t headerSize = kBoxHeader;
    if (size == kLargeSize) {
      const auto large = source.U64Be(at + kBoxHeader);
      if (!large) return WalkResult::BrokenAt(at);
      size = *large;
      headerSize = kLargeBoxHeader;
    }
    // Size 0 ("to the end of the file") gives no length; smaller than the header, a loop.
    if (size < headerSize || size > source.Limit() - at) return WalkResult::BrokenAt(at);
    if (std::memcmp(type, essential, 4) == 0) whole = true;
    lastMediaData = std::memcmp(type, "mdat", 4) == 0 ? at + headerSize : 0;
    at += size;
  }
}

}  // namespace salvora
