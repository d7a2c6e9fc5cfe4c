#include "carving/JpegDecodeCheck.h"
#include "carving/JpegEntropyScan.h"

// jpeglib.h needs FILE and size_t declared before it.
#include <cstddef>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

#include <csetjmp>
#include <memory>
#include <vector>

namespace salvora {
namespace {

// Cameras stay far below this; a corrupt header claiming more is not worth decoding.
constexpr uint64_t kMaxPixels = 120'000'000;
constexpr JDIMENSION kMaxSide = 65'500;
// A progressive picture keeps all its coefficients in memory; more is refused rather than swapped.
constexpr long kMaxMemory = 512l << 20;
// A progressive file of thousands of tiny scans costs a full pass over the picture each.
constexpr int kMaxScans = 500;

enum class Stop { None, Broken, Declined };

// The decoder's state as seen by the callbacks, which get only the libjpeg structure: the
// structure is the first member so the callbacks can find the rest.
struct Decoder {
  jpeg_decompress_struct info{};
  jpeg_error_mgr errors{};
  jpeg_source_mgr input{};
  jpeg_progress_mgr progress{};
  ByteSource* source = nullptr;
  uint64_t bufferStart = 0;  // source offset of the buffer's first byte
  uint64_t bufferEnd = 0;    // and of the byte after its last
  const uint8_t* bufferBase = nullptr;
  bool ranOut = false;
  Stop stop = Stop::None;
  bool inRows = false;
  uint64_t rowStart = 0;  // where the input stood when the current row began
  // The row decoded into; owned here, as nothing on the stack between setjmp and longjmp is
  // destroyed when the decoder jumps back.
  std::vector<JSAMPLE> row;
  // The symbol-level reading of the entropy data, once made.
  EntropyPass pass;
  bool read = false;
  bool known = false;  // the reading was made before the decoder started
  bool rows = false;  // every row is decoded, whatever the reading finds
  EntropyRowMarks* keep = nullptr;  // where the reading keeps its row marks
  std::jmp_buf jump;

  uint64_t Consumed() const {
    return bufferStart + uint64_t(input.next_input_byte - bufferBase);
  }
};

constexpr uint8_t kFakeEnd[2] = {0xFF, JPEG_EOI};

Decoder& Of(j_common_ptr info) { return *reinterpret_cast<Decoder*>(info); }
Decoder& Of(j_decompress_ptr info) { return *reinterpret_cast<Decoder*>(info); }

// Points the input at the source's bytes from offset on; past the end, a fake end marker (as
// libjpeg's own sources do) and the note that the data ran out.
void Load(Decoder& d, uint64_t offset) {
  size_t available = 0;
  const uint8_t* p = d.ranOut ? nullptr : d.source->Window(offset, available);
  if (!p) {
    d.ranOut = true;
    d.bufferStart = offset;
    d.bufferEnd = offset;
    d.bufferBase = kFakeEnd;
    d.input.next_input_byte = kFakeEnd;
    d.input.bytes_in_buffer = sizeof(kFakeEnd);
    return;
  }
  d.bufferStart = offset;
  d.bufferEnd = offset + available;
  d.bufferBase = p;
  d.input.next_input_byte = p;
  d.input.bytes_in_buffer = available;
}

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

// Called once the buffer is used up. The entropy decoder works on its own copy of the input
// position and does not store it back first, so the next offset is the buffer's end, not what
// next_input_byte says.
boolean FillInput(j_decompress_ptr info) {
  Decoder& d = Of(info);
  Load(d, d.bufferEnd);
  return TRUE;
}

void SkipInput(j_decompress_ptr info, long count) {
  Decoder& d = Of(info);
  if (count <= 0) return;
  if (size_t(count) <= d.input.bytes_in_buffer) {
    d.input.next_input_byte += count;
    d.input.bytes_in_buffer -= size_t(count);
    return;
  }
  Load(d, d.Consumed() + uint64_t(count));
}

[[noreturn]] void Abandon(Decoder& d, Stop why) {
  d.stop = why;
  std::longjmp(d.jump, 1);
}

[[noreturn]] void OnError(j_common_ptr info) {
  const int code = info->err->msg_code;
  const bool memory = code == JERR_OUT_OF_MEMORY || code == JERR_NO_BACKING_STORE;
  Abandon(Of(info), memory ? Stop::Declined : Stop::Broken);
}

// Warnings about the entropy data (a bad code, a marker in the middle, bytes left over, the data
// ending early) mean the picture breaks there; notes about the headers' wording do not.
void OnMessage(j_common_ptr info, int level) {
  if (level >= 0) return;
  switch (info->err->msg_code) {
    case JWRN_ADOBE_XFORM: case JWRN_JFIF_MAJOR: case JWRN_BOGUS_ICC:
      return;
    default:
      Abandon(Of(info), Stop::Broken);
  }
}

void OnProgress(j_common_ptr info) {
  Decoder& d = Of(info);
  if (d.info.input_scan_number > kMaxScans) Abandon(d, Stop::Broken);
}

void Install(Decoder& d, ByteSource& source) {
  d.source = &source;
  d.info.err = jpeg_std_error(&d.errors);
  d.errors.error_exit = OnError;
  d.errors.emit_message = OnMessage;
  d.progress.progress_monitor = OnProgress;
  d.input.init_source = InitSource;
  d.input.fill_input_buffer = FillInput;
  d.input.skip_input_data = SkipInput;
  d.input.resync_to_restart = jpeg_resync_to_restart;
  d.input.term_source = TermSource;
}

bool Plausible(const jpeg_decompress_struct& info) {
  if (info.image_width == 0 || info.image_height == 0) return false;
  if (info.image_width > kMaxSide || info.image_height > kMaxSide) return false;
  return uint64_t(info.image_width) * info.image_height <= kMaxPixels;
}

// The whole decode; returns through the jump on the first break. Decoding at an eighth of the
// size still reads every coefficient, which is what is checked, at a fraction of the cost.
WalkResult Run(Decoder& d) {
  jpeg_read_header(&d.info, TRUE);
  if (!Plausible(d.info)) return WalkResult::None();
  d.info.scale_num = 1;
  d.info.scale_denom = 8;
  d.info.dct_method = JDCT_IFAST;
  d.info.do_fancy_upsampling = FALSE;
  d.info.do_block_smoothing = FALSE;
  d.info.out_color_space = d.info.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  if (d.info.jpeg_color_space == JCS_CMYK || d.info.jpeg_color_space == JCS_YCCK)
    d.info.out_color_space = JCS_CMYK;
  jpeg_start_decompress(&d.info);
  // One reading of the entropy data settles most photos without decoding a pixel: the decoder
  // finds no fault this reading misses, and never one in an earlier row, so a bad row is where the
  // decode breaks, and data whole to its last block that the end marker closes at once is what the
  // decoder measures. The rest (other forms, anything between the data and the end) is decoded.
  if (!d.rows && !d.info.progressive_mode && !d.info.arith_code && !jpeg_has_multiple_scans(&d.info)) {
    if (!d.known) d.pass = ReadEntropyData(*d.source, {.keep = d.keep});
    d.read = true;
    if (d.pass.outcome == EntropyPass::Outcome::BadRow) return WalkResult::BrokenAt(d.pass.offset);
    if (d.pass.outcome == EntropyPass::Outcome::Whole && d.pass.offset) return WalkResult::Measured(d.pass.offset);
    // The reading moved the source's window: the decoder's input is fetched again where it stood.
    Load(d, d.Consumed());
  }
  d.row.assign(size_t(d.info.output_width) * size_t(d.info.output_components), 0);
  JSAMPROW rows[1] = {d.row.data()};
  d.inRows = true;
  while (d.info.output_scanline < d.info.output_height) {
    d.rowStart = d.Consumed();
    if (jpeg_read_scanlines(&d.info, rows, 1) != 1) return WalkResult::BrokenAt(d.rowStart);
  }
  d.rowStart = d.Consumed();
  jpeg_finish_decompress(&d.info);
  // The decoder stops reading right after the end marker.
  if (d.ranOut) return WalkResult::BrokenAt(d.rowStart);
  return WalkResult::Measured(d.Consumed());
}

WalkResult Decode(ByteSource& source, bool rows, const EntropyPass* read = nullptr,
                  EntropyRowMarks* keep = nullptr) {
  if (source.U8(0) != 0xFF || source.U8(1) != 0xD8) return WalkResult::None();
  // Kept off the stack frame that setjmp saves, so nothing in it is lost on the jump back.
  auto d = std::make_unique<Decoder>();
  d->rows = rows;
  d->keep = keep;
  if (read) {
    d->pass = *read;
    d->known = true;
  }
  Install(*d, source);
  WalkResult result = WalkResult::None();
  if (setjmp(d->jump) == 0) {
    jpeg_create_decompress(&d->info);
    d->info.src = &d->input;
    d->info.progress = &d->progress;
    d->info.mem->max_memory_to_use = kMaxMemory;
    Load(*d, 0);
    result = Run(*d);
  } else if (d->stop == Stop::Declined) {
    result = WalkResult::None();
  } else {
    result = WalkResult::BrokenAt(d->inRows ? d->rowStart : d->Consumed());
  }
  jpeg_destroy_decompress(&d->info);
  if (result.outcome == WalkResult::Outcome::NoStructure) return result;
  // The decoder reads garbage that happens to hold no bad code as grey blocks and notices only at
  // the end; the symbol-level reading catches it in the row where it starts.
  const EntropyPass pass = d->read || d->known ? d->pass : ReadEntropyData(source);
  if (pass.outcome == EntropyPass::Outcome::BadRow && (result.ok() || pass.offset < result.length))
    return WalkResult::BrokenAt(pass.offset);
  return result;
}

// Bytes from `at` up to the next marker, counted to atMost.
uint64_t BytesBeforeMarker(ByteSource& source, uint64_t at, uint64_t atMost) {
  uint64_t n = 0;
  for (; n < atMost; ++n) {
    const auto b = source.U8(at + n);
    if (!b) break;
    if (*b == 0xFF && source.U8(at + n + 1).value_or(0) != 0x00) break;
  }
  return n;
}

// The decoder holds at most eight bytes past the last bit it took; every whole byte it then meets
// before the next marker is thrown away with a warning, which breaks the picture.
constexpr uint64_t kDecoderHolds = 8, kSure = 2 * kDecoderHolds;

// Whether the data holds to its last block and more whole bytes follow than the decoder takes in:
// the decoder breaks after its last row.
bool BreaksAfterLastRow(ByteSource& source, const EntropyPass& pass) {
  return pass.outcome == EntropyPass::Outcome::Whole && pass.offset == 0 &&
         BytesBeforeMarker(source, pass.dataEnd + 1, kSure) >= kSure;
}

}  // namespace

WalkResult DecodeJpeg(ByteSource& source) { return Decode(source, false); }

WalkResult DecodeJpeg(ByteSource& source, const EntropyReading& how) {
  const EntropyPass pass = ReadEntropyData(source, how);
  return Decode(source, false, &pass);
}

WalkResult DecodeJpegKeeping(ByteSource& source, EntropyRowMarks& keep) {
  return Decode(source, false, nullptr, &keep);
}

WalkResult DecodeJpegToUnit(ByteSource& source, const EntropyReading& how, uint64_t phase, uint64_t step) {
  const EntropyPass pass = ReadEntropyData(source, how);
  // Where the input stands after the last row: past the data's end by what the decoder holds,
  // stuffed bytes counted twice, the reading's end itself up to eight bytes late.
  constexpr uint64_t kSlack = 4 * kDecoderHolds;
  if (step > 0 && BreaksAfterLastRow(source, pass) && pass.dataEnd >= phase + kSlack) {
    const uint64_t first = (pass.dataEnd - kSlack - phase) / step, last = (pass.dataEnd + kSlack - phase) / step;
    if (first == last) return WalkResult::BrokenAt(pass.dataEnd);
  }
  return Decode(source, false, &pass);
}

bool JpegDecodesWhole(ByteSource& source, const EntropyReading& how) {
  const EntropyPass pass = ReadEntropyData(source, how);
  if (pass.outcome == EntropyPass::Outcome::BadRow || BreaksAfterLastRow(source, pass)) return false;
  return Decode(source, false, &pass).ok();
}

WalkResult DecodeJpegRows(ByteSource& source) { return Decode(source, true); }

}  // namespace salvora
