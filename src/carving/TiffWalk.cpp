#include <algorithm>
#include <vector>

#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint64_t kHeader = 8;
constexpr uint64_t kEntrySize = 12;
constexpr uint32_t kMaxDirectories = 1024;
constexpr uint16_t kMaxEntries = 4096;
constexpr uint32_t kMaxPieces = 1u << 20;  // strips or tiles of one directory

// Tags whose values locate other parts of the file.
constexpr uint16_t kStripOffsets = 273;
constexpr uint16_t kStripByteCounts = 279;
constexpr uint16_t kTileOffsets = 324;
constexpr uint16_t kTileByteCounts = 325;
constexpr uint16_t kSubDirectories = 330;
constexpr uint16_t kThumbnailOffset = 513;
constexpr uint16_t kThumbnailLength = 514;
constexpr uint16_t kExifDirectory = 34665;
constexpr uint16_t kGpsDirectory = 34853;
constexpr uint16_t kInteropDirectory = 40965;

// Bytes per value of the field types (0: unknown type, skipped).
uint64_t TypeSize(uint16_t type) {
  static constexpr uint8_t kSizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
  return type < sizeof kSizes ? kSizes[type] : 0;
}

// One directory entry as read from the file.
struct Entry {
  uint16_t tag = 0;
  uint16_t type = 0;
  uint32_t count = 0;
  uint64_t valueAt = 0;  // where the values are: in the entry itself or at its offset
  uint64_t bytes = 0;
};

class TiffReader {
 public:
  TiffReader(ByteSource& source, bool bigEndian) : source_(source), big_(bigEndian) {}

  std::optional<uint16_t> U16(uint64_t at) { return big_ ? source_.U16Be(at) : source_.U16Le(at); }
  std::optional<uint32_t> U32(uint64_t at) { return big_ ? source_.U32Be(at) : source_.U32Le(at); }

  std::optional<Entry> ReadEntry(uint64_t at) {
    Entry e;
    const auto tag = U16(at), type = U16(at + 2);
    const auto count = U32(at + 4), offset = U32(at + 8);
    if (!tag || !type || !count || !offset) return std::nullopt;
    e.tag = *tag;
    e.type = *type;
    e.count = *count;
    e.bytes = TypeSize(e.type) * e.count;
    e.valueAt = e.bytes > 4 ? *offset : at + 8;
    return e;
  }

  // The count values of an entry of SHORT or LONG type, or nullopt.
  std::optional<std::vector<uint64_t>> Values(const Entry& e) {
    if ((e.type != 3 && e.type != 4) || e.count > kMaxPieces) return std::nullopt;
    std::vector<uint64_t> values(e.count);
    for (uint32_t i = 0; i < e.count; ++i) {
      std::optional<uint64_t> v;
      if (e.type == 3) {
        if (const auto s = U16(e.valueAt + 2ull * i)) v = *s;
      } else if (const auto l = U32(e.valueAt + 4ull * i)) {
        v = *l;
      }
      if (!v) return std::nullopt;
      values[i] = *v;
    }
    return values;
  }

 private:
  ByteSource& source_;
  bool big_;
};

// The walk over every directory reachable from the header, growing `end` to the furthest byte
// any of them names.
class TiffWalker {
 public:
  TiffWalker(ByteSource& source, bool bigEndian) : source_(source), reader_(source, bigEndian) {}

  bool Walk(uint64_t first) {
    pending_.push_back(first);
    while (!pending_.empty()) {
      const uint64_t at = pending_.back();
      pending_.pop_back();
      if (at == 0) continue;
      if (std::find(seen_.begin(), seen_.end(), at) != seen_.end()) continue;  // a loop
      if (seen_.size() == kMaxDirectories || !Directory(at)) return false;
      seen_.push_back(at);
    }
    return true;
  }
  uint64_t End() const { return end_; }
  uint64_t StructureEnd() const { return structureEnd_; }

 private:
  bool Reaches(uint64_t at, uint64_t bytes) {
    if (at > source_.Limit() || bytes > source_.Limit() - at) return false;
    end_ = std::max(end_, at + bytes);
    return true;
  }

  bool Directory(uint64_t at) {
    const auto count = reader_.U16(at);
    if (!count || *count == 0 || *count > kMaxEntries) return false;
    const uint64_t size = 2 + kEntrySize * *count + 4;
    if (!Reaches(at, size)) return false;
    structureEnd_ = std::max(structureEnd_, at + size);
    std::optional<std::vector<uint64_t>> offsets, counts;
    std::optional<uint64_t> thumbnail, thumbnailLength;
    for (uint16_t i = 0; i < *count; ++i) {
      const auto e = reader_.ReadEntry(at + 2 + kEntrySize * i);
      if (!e || !Reaches(e->valueAt, e->bytes)) return false;
      if (e->bytes > 4) structureEnd_ = std::max(structureEnd_, e->valueAt + e->bytes);
      if (e->tag == kStripOffsets || e->tag == kTileOffsets) offsets = reader_.Values(*e);
      if (e->tag == kStripByteCounts || e->tag == kTileByteCounts) counts = reader_.Values(*e);
      if (e->tag == kThumbnailOffset || e->tag == kThumbnailLength) {
        const auto v = reader_.Values(*e);
        if (v && !v->empty()) (e->tag == kThumbnailOffset ? thumbnail : thumbnailLength) = v->front();
      }
      if (e->tag == kSubDirectories || e->tag == kExifDirectory || e->tag == kGpsDirectory ||
          e->tag == kInteropDirectory) {
        const auto v = reader_.Values(*e);
        if (v) pending_.insert(pending_.end(), v->begin(), v->end());
      }
    }
    if (offsets) {
      if (counts && offsets->size() != counts->size()) return false;
      for (size_t i = 0; i < offsets->size(); ++i)
        if (!Reaches((*offsets)[i], counts ? (*counts)[i] : 0)) return false;
    }
    if (thumbnail && thumbnailLength && !Reaches(*thumbnail, *thumbnailLength)) return false;
    const auto next = reader_.U32(at + 2 + kEntrySize * *count);
    if (!next) return false;
    pending_.push_back(*next);
    return true;
  }

  ByteSource& source_;
  TiffReader reader_;
  std::vector<uint64_t> pending_;
  std::vector<uint64_t> seen_;
  uint64_t end_ = kHeader;
  uint64_t structureEnd_ = kHeader;
};

}  // namespace

// A TIFF file is a header and a chain of image directories whose entries point anywhere in the
// file; it ends at the furthest byte that a directory, a value, a strip, a tile or a thumbnail
// occupies. Image data is not checked, so only the directories and values count as verified.
WalkResult WalkTiffStructure(ByteSource& source, bool (*magicAccepted)(uint16_t)) {
  const auto order = source.U16Be(0);
  if (order != 0x4949 && order != 0x4D4D) return WalkResult::None();
  const bool big = order == 0x4D4D;
  TiffReader reader(source, big);
  const auto magic = reader.U16(2);
  const auto first = reader.U32(4);
  if (!magic || !magicAccepted(*magic) || !first) return WalkResult::None();
  TiffWalker walker(source, big);
  if (*first == 0 || !walker.Walk(*first)) return WalkResult::BrokenAt(*first);
  return WalkResult::Measured(walker.End(), walker.StructureEnd());
}

WalkResult WalkTiff(ByteSource& source) {
  return WalkTiffStructure(source, [](uint16_t magic) { return magic == 42; });
}

}  // namespace salvora
