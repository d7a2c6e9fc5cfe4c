#include <FLAC/stream_decoder.h>

#include <algorithm>
#include <memory>
#include <string_view>

#include "carving/StructureWalks.h"

namespace salvora {
namespace {

// Feeds a FLAC decoder from a ByteSource and remembers what it decoded. Every frame carries a CRC
// over its bytes and the stream its sample count and MD5 sum, so decoding is the one way to tell
// where the last frame ends: a frame boundary cannot be found by searching.
class FlacFeed {
 public:
  explicit FlacFeed(ByteSource& source) : source_(source) {}

  WalkResult Run() {
    std::unique_ptr<FLAC__StreamDecoder, void (*)(FLAC__StreamDecoder*)> decoder(
        FLAC__stream_decoder_new(), FLAC__stream_decoder_delete);
    if (!decoder) return WalkResult::None();
    FLAC__stream_decoder_set_md5_checking(decoder.get(), true);
    if (FLAC__stream_decoder_init_stream(decoder.get(), Read, Seek, Tell, Length, Eof, Write, Metadata,
                                         Error, this) != FLAC__STREAM_DECODER_INIT_STATUS_OK)
      return WalkResult::None();
    if (!FLAC__stream_decoder_process_until_end_of_metadata(decoder.get()) || failed_ || !streamInfo_) {
      FLAC__stream_decoder_finish(decoder.get());
      return WalkResult::BrokenAt(0);
    }
    FLAC__stream_decoder_get_decode_position(decoder.get(), &end_);
    while (!failed_ && (totalSamples_ == 0 || samples_ < totalSamples_)) {
      const uint64_t before = samples_;
      if (!FLAC__stream_decoder_process_single(decoder.get()) || failed_) break;
      if (FLAC__stream_decoder_get_state(decoder.get()) == FLAC__STREAM_DECODER_END_OF_STREAM || samples_ == before) break;
      FLAC__stream_decoder_get_decode_position(decoder.get(), &end_);
    }
    const bool complete = totalSamples_ != 0 && samples_ == totalSamples_ && !failed_;
    // The MD5 sum is compared only once every sample has been decoded.
    const bool sumHolds = FLAC__stream_decoder_finish(decoder.get());
    if (complete) return sumHolds ? WalkResult::Measured(end_) : WalkResult::BrokenAt(0);
    // A stream that does not say how long it is ends with its last good frame.
    if (totalSamples_ == 0 && samples_ > 0) return WalkResult::Measured(end_);
    return WalkResult::BrokenAt(end_);
  }

 private:
  static FlacFeed& Of(void* data) { return *static_cast<FlacFeed*>(data); }

  static FLAC__StreamDecoderReadStatus Read(const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes, void* data) {
    FlacFeed& feed = Of(data);
    size_t available = 0;
    const uint8_t* p = feed.source_.Window(feed.at_, available);
    if (!p) {
      *bytes = 0;
      return feed.at_ >= feed.source_.Limit() ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM
                                              : FLAC__STREAM_DECODER_READ_STATUS_ABORT;
    }
    const size_t n = available < *bytes ? available : *bytes;
    std::copy(p, p + n, buffer);
    feed.at_ += n;
    *bytes = n;
    return FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
  }
  static FLAC__StreamDecoderSeekStatus Seek(const FLAC__StreamDecoder*, FLAC__uint64 offset, void* data) {
    FlacFeed& feed = Of(data);
    if (offset > feed.source_.Limit()) return FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
    feed.at_ = offset;
    return FLAC__STREAM_DECODER_SEEK_STATUS_OK;
  }
  static FLAC__StreamDecoderTellStatus Tell(const FLAC__StreamDecoder*, FLAC__uint64* offset, void* data) {
    *offset = Of(data).at_;
    return FLAC__STREAM_DECODER_TELL_STATUS_OK;
  }
  static FLAC__StreamDecoderLengthStatus Length(const FLAC__StreamDecoder*, FLAC__uint64* length, void* data) {
    *length = Of(data).source_.Limit();
    return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
  }
  static FLAC__bool Eof(const FLAC__StreamDecoder*, void* data) {
    return Of(data).at_ >= Of(data).source_.Limit();
  }
  static FLAC__StreamDecoderWriteStatus Write(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                              const FLAC__int32* const[], void* data) {
    Of(data).samples_ += frame->header.blocksize;
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
  }
  static void Metadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* block, void* data) {
    if (block->type != FLAC__METADATA_TYPE_STREAMINFO) return;
    Of(data).streamInfo_ = true;
    Of(data).totalSamples_ = block->data.stream_info.total_samples;
  }
  static void Error(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* data) { Of(data).failed_ = true; }

  ByteSource& source_;
  uint64_t at_ = 0;
  FLAC__uint64 end_ = 0;
  uint64_t samples_ = 0;
  uint64_t totalSamples_ = 0;
  bool streamInfo_ = false;
  bool failed_ = false;
};

}  // namespace

WalkResult WalkFlac(ByteSource& source) {
  char magic[4];
  if (!source.Read(0, magic, 4) || std::string_view(magic, 4) != "fLaC") return WalkResult::None();
  return FlacFeed(source).Run();
}

}  // namespace salvora
