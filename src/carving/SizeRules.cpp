#include "carving/SizeRules.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "carving/DeclaredSizes.h"
#include "carving/EndMarkers.h"
#include "carving/MeasureContext.h"
#include "carving/ScanSizeRule.h"
#include "carving/SizeLimits.h"
#include "carving/TransportStreamVerifier.h"
#include "platform/ByteView.h"

namespace salvora {
namespace {

int SectorSize() { return MeasureContext::Instance().sectorSize; }
size_t Length(const uint8_t* bytes, int length) { return bytes && length > 0 ? size_t(length) : 0; }

// JPEG: each piece's first FF D9, if it ends cleanly, is the latest candidate end; the file ends
// there unless a stop sector came first. A marker past the stop sector belongs to the file that
// starts there (another JPEG, typically): it must not replace the end found in an earlier piece.
class JpegEndSearch : public EndSearch {
 public:
  bool OnPiece(const uint8_t* piece, size_t length, uint64_t base, bool stopFound,
               uint64_t& size) override {
    auto end = FirstMarkerEnd(piece, length, kJpegEnd, SectorSize());
    if (end && !(stopFound && base + *end > size)) candidate_ = base + *end;
    return false;
  }
  void Finish(uint64_t& size) override {
    if (candidate_ && *candidate_ < size) size = *candidate_;
  }

 private:
  std::optional<uint64_t> candidate_;
};

// GIF, PNG and MPEG: the first occurrence of the marker that ends cleanly ends the file.
class CleanMarkerSearch : public EndSearch {
 public:
  explicit CleanMarkerSearch(std::string_view marker) : marker_(marker) {}
  bool OnPiece(const uint8_t* piece, size_t length, uint64_t base, bool, uint64_t& size) override {
    auto end = FirstCleanMarkerEnd(piece, length, marker_, SectorSize());
    if (!end) return false;
    size = base + *end;
    return true;
  }

 private:
  std::string_view marker_;
};

// RealMedia: the last, empty index chunk ends the file.
class RealMediaIndexSearch : public EndSearch {
 public:
  bool OnPiece(const uint8_t* piece, size_t length, uint64_t base, bool, uint64_t& size) override {
    size_t at = FindPattern(piece, length, kRealMediaLastIndex);
    if (at == std::string_view::npos) return false;
    size = base + at + kRealMediaLastIndex.size();
    return true;
  }
};

// ISO media: the producer's trailer text and the text that follows it up to a zero byte.
class MediaTrailerSearch : public EndSearch {
 public:
  bool OnPiece(const uint8_t* piece, size_t length, uint64_t base, bool, uint64_t& size) override {
    size_t at = FindPattern(piece, length, kMediaTrailer);
    if (at == std::string_view::npos) return false;
    size_t end = at + kMediaTrailer.size();
    while (end < length && piece[end] != 0) ++end;
    size = base + end;
    return true;
  }
};

// MP3: the last ID3v1 tag seen, unless a stop sector came first.
class Id3v1Search : public EndSearch {
 public:
  bool OnPiece(const uint8_t* piece, size_t length, uint64_t base, bool, uint64_t&) override {
    size_t at = FindPattern(piece, length, kId3v1Tag);
    if (at != std::string_view::npos) candidate_ = base + at + kId3v1Size;
    return false;
  }
  void Finish(uint64_t& size) override {
    if (candidate_ && *candidate_ < size) size = *candidate_;
  }

 private:
  std::optional<uint64_t> candidate_;
};

// Monkey's Audio: an APE tag's header, then its footer 32 bytes before the file's end. Without a
// footer in the same piece, the file is taken to end with the piece.
class ApeTagSearch : public EndSearch {
 public:
  bool OnPiece(const uint8_t* piece, size_t length, uint64_t base, bool, uint64_t& size) override {
    size_t at = FindPattern(piece, length, kApeTag);
    if (at == std::string_view::npos) return false;
    size_t footer = FindPattern(piece, length, kApeTag, at + kApeTag.size());
    size = footer != std::string_view::npos ? base + footer + kApeFooterSize : base + length;
    return true;
  }
};

// Standard MIDI: the header chunk and as many track chunks as the header counts. The chunks are
// walked by their declared lengths from the first track, which the tester found at offset 14 of
// the first sector, so that every track is counted (a file's only track too) and a chunk header
// that straddles two pieces is still read.
class MidiTrackSearch : public EndSearch {
 public:
  static constexpr uint64_t kHeaderChunk = 14;
  static constexpr size_t kChunkHeader = 8;

  MidiTrackSearch(const uint8_t* first, size_t length)
      : tracks_(int(ByteView(first, length).U16Be(10))) {
    Feed(first, length, 0);
  }
  bool Done() const { return done_; }
  uint64_t End() const { return next_; }

  bool OnPiece(const uint8_t* piece, size_t length, uint64_t base, bool stopFound,
               uint64_t& size) override {
    Feed(piece, length, base);
    if (!done_) return false;
    const uint64_t reached = stopFound ? size : base + length;
    if (next_ > reached && !stopFound) return false;  // the last track goes on in later pieces
    size = std::min(next_, reached);
    return true;
  }
  void Finish(uint64_t& size) override {
    if (done_ && next_ < size) size = next_;
  }

 private:
  // Reads the chunk headers that lie in bytes [base, base + length) of the file.
  void Feed(const uint8_t* bytes, size_t length, uint64_t base) {
    const uint64_t end = base + length;
    while (!done_ && (carried_ > 0 || next_ < end)) {
      uint8_t header[kChunkHeader];
      if (carried_ > 0) {  // the header began at the end of the previous bytes
        const size_t rest = kChunkHeader - carried_;
        if (length < rest) return;
        std::memcpy(header, carry_, carried_);
        std::memcpy(header + carried_, bytes, rest);
        carried_ = 0;
      } else if (next_ < base) {
        return;  // bytes were skipped: the walk cannot go on
      } else if (next_ + kChunkHeader > end) {
        carried_ = size_t(end - next_);
        std::memcpy(carry_, bytes + (next_ - base), carried_);
        return;
      } else {
        std::memcpy(header, bytes + (next_ - base), kChunkHeader);
      }
      ByteView view(header, kChunkHeader);
      if (view.Equals(0, kMidiTrack)) --tracks_;
      next_ += kChunkHeader + view.U32Be(4);
      if (tracks_ <= 0) done_ = true;
    }
  }

  int tracks_;
  uint64_t next_ = kHeaderChunk;  // file offset of the next chunk header
  uint8_t carry_[kChunkHeader] = {};
  size_t carried_ = 0;
  bool done_ = false;
};

// MPEG transport stream: the file is no longer than its run of packets with sync bytes.
class TransportStreamSearch : public EndSearch {
 public:
  TransportStreamSearch() : verifier_(SectorSize()) {}
  bool OnPiece(const uint8_t* piece, size_t length, uint64_t, bool, uint64_t&) override {
    verifier_.AddPiece(piece, length);
    return false;
  }
  void Finish(uint64_t& size) override {
    const uint64_t verified = verifier_.VerifiedLength();
    if (verified != 0 && verified < size) size = verified;
  }

 private:
  TransportStreamVerifier verifier_;
};

// A file whose first sector already holds its end: no reading ahead.
template <typename Search>
uint64_t WithFirstSectorEnd(std::optional<size_t> firstEnd, uint64_t limit, Search&& search) {
  if (firstEnd) return *firstEnd;
  return ScanSizeRule(limit, search);
}

uint64_t NextStop(uint64_t limit) {
  EndSearch none;
  return ScanSizeRule(limit, none);
}

}  // namespace

uint64_t SizeBmpLength(const uint8_t* bytes, int length) {
  return BitmapDeclaredSize(bytes, Length(bytes, length));
}

uint64_t SizeWaveRiffLength(const uint8_t* bytes, int length) {
  return WaveDeclaredSize(bytes, Length(bytes, length));
}

uint64_t SizeAviRiffLength(const uint8_t* bytes, int length) {
  return AviDeclaredSize(bytes, Length(bytes, length), SectorSize());
}

uint64_t SizeFlashHeader(const uint8_t* bytes, int length) {
  return FlashDeclaredSize(bytes, Length(bytes, length), SectorSize());
}

uint64_t SizeAsfFileProperties(const uint8_t* bytes, int length) {
  return AsfDeclaredSize(bytes, Length(bytes, length), SectorSize());
}

uint64_t SizeIconDirectory(const uint8_t* bytes, int length) {
  const size_t n = Length(bytes, length);
  if (HoldsIconDirectory(bytes, n)) return IconDirectorySize(bytes, n);
  MeasureContext& context = MeasureContext::Instance();
  const uint64_t oneSector = uint64_t(context.sectorSize);
  uint8_t* buffer = context.WorkBuffer();
  if (!buffer || context.sectorSize <= 0) return oneSector;
  const uint32_t sectors = uint32_t(MeasureContext::kWorkBufferBytes / size_t(context.sectorSize));
  if (!context.ReadSectors(buffer, sectors, context.startSector)) return oneSector;
  const size_t bytesRead = size_t(sectors) * size_t(context.sectorSize);
  // A directory longer than the buffer cannot be measured.
  if (!HoldsIconDirectory(buffer, bytesRead)) return oneSector;
  return IconDirectorySize(buffer, bytesRead);
}

uint64_t SizeNextStop128MiB(const uint8_t*, int) { return NextStop(kPictureLimit); }
uint64_t SizeNextStop256MiB(const uint8_t*, int) { return NextStop(kSmallMediaLimit); }
uint64_t SizeNextStop6GiB(const uint8_t*, int) { return NextStop(kVideoLimit); }
uint64_t SizeNextStop64GiB(const uint8_t*, int) { return NextStop(kStreamLimit); }

uint64_t SizeJpegEndMarker(const uint8_t* bytes, int length) {
  const size_t n = Length(bytes, length);
  return WithFirstSectorEnd(FirstMarkerEnd(bytes, n, kJpegEnd, SectorSize()), kPictureLimit,
                            JpegEndSearch());
}

uint64_t SizeGifTrailer(const uint8_t* bytes, int length) {
  const size_t n = Length(bytes, length);
  return WithFirstSectorEnd(FirstCleanMarkerEnd(bytes, n, kGifTrailer, SectorSize()),
                            kPictureLimit, CleanMarkerSearch(kGifTrailer));
}

uint64_t SizePngEndChunk(const uint8_t* bytes, int length) {
  const size_t n = Length(bytes, length);
  return WithFirstSectorEnd(FirstCleanMarkerEnd(bytes, n, kPngEnd, SectorSize()), kPictureLimit,
                            CleanMarkerSearch(kPngEnd));
}

uint64_t SizeMpegEndCode(const uint8_t* bytes, int length) {
  const bool videoSequence = ByteView(bytes, Length(bytes, length)).Equals(0, kMpegSequenceHeader);
  CleanMarkerSearch search(videoSequence ? kMpegSequenceEnd : kMpegProgramEnd);
  return ScanSizeRule(kVideoLimit, search, StopVariant::KeepMpegProgramStream);
}

uint64_t SizeRealMediaIndex(const uint8_t*, int) {
  RealMediaIndexSearch search;
  return ScanSizeRule(kVideoLimit, search);
}

uint64_t SizeMediaTrailerText(const uint8_t*, int) {
  MediaTrailerSearch search;
  return ScanSizeRule(kVideoLimit, search);
}

uint64_t SizeId3v1Tag(const uint8_t*, int) {
  Id3v1Search search;
  return ScanSizeRule(kAudioLimit, search);
}

uint64_t SizeApeTag(const uint8_t*, int) {
  ApeTagSearch search;
  return ScanSizeRule(kAudioLimit, search);
}

uint64_t SizeMidiTracks(const uint8_t* bytes, int length) {
  const size_t n = Length(bytes, length);
  MidiTrackSearch search(bytes, n);
  // A file whose tracks all end within its first sector needs no reading ahead.
  if (search.Done() && search.End() <= n) return search.End();
  return ScanSizeRule(kMidiLimit, search);
}

uint64_t SizeTransportStream(const uint8_t*, int) {
  MeasureContext& context = MeasureContext::Instance();
  TransportStreamSearch search;
  const uint64_t size = ScanSizeRule(kStreamLimit, search);
  const uint64_t sector = uint64_t(context.sectorSize > 0 ? context.sectorSize : 1);
  const uint64_t sectors = std::max<uint64_t>(1, (size + sector - 1) / sector);
  context.TransportStreamExtents.push_back({context.startSector, context.startSector + sectors - 1});
  return size;
}

}  // namespace salvora
