#include "carving/JpegBitReader.h"

namespace salvora {
namespace {
constexpr uint8_t kMarker = 0xFF;
constexpr uint8_t kEndOfImage = 0xD9;
}  // namespace

void JpegBitReader::Fill() {
  while (count_ <= 56) {
    Hand h = Lend();
    if (FillFromHand(h)) {
      Return(h);
      continue;
    }
    // A byte of data inside the window in hand.
    if (!atMarker_ && window_ && at_ >= windowStart_ && at_ - windowStart_ + 1 < windowBytes_) {
      const uint8_t* p = window_ + (at_ - windowStart_);
      if (p[0] != kMarker || p[1] == 0x00) {
        Append(p[0]);
        at_ += p[0] == kMarker ? 2 : 1;
        continue;
      }
    }
    uint8_t next = 0;
    if (!atMarker_) {
      const auto b = ByteAt(at_);
      if (b && *b == kMarker && ByteAt(at_ + 1) != 0x00) atMarker_ = true;
      else if (!b) atMarker_ = true;
      else {
        next = *b;
        at_ += *b == kMarker ? 2 : 1;
      }
    }
    if (atMarker_) padding_ += 8;
    Append(next);
  }
}

bool JpegBitReader::Restart(int number) {
  if (count_ - padding_ >= 8) return false;  // whole bytes left before the marker
  count_ = padding_ = 0;
  buffer_ = 0;
  atMarker_ = false;
  while (ByteAt(at_) == kMarker && ByteAt(at_ + 1) == kMarker) ++at_;  // fill bytes
  if (ByteAt(at_) != kMarker || ByteAt(at_ + 1) != uint8_t(0xD0 + number)) return false;
  at_ += 2;
  return true;
}

std::optional<uint64_t> JpegBitReader::EndOfImageAfterData() {
  Fill();
  if (!atMarker_ || count_ - padding_ >= 8) return std::nullopt;
  uint64_t at = at_;
  while (ByteAt(at) == kMarker && ByteAt(at + 1) == kMarker) ++at;
  if (ByteAt(at) != kMarker || ByteAt(at + 1) != kEndOfImage) return std::nullopt;
  return at + 2;
}

bool JpegBitReader::Save(EntropyRowMarks::Mark& m) const {
  if (atMarker_ || padding_) return false;
  m.at = at_;
  m.buffer = buffer_;
  m.count = count_;
  m.padding = padding_;
  return true;
}

void JpegBitReader::Restore(const EntropyRowMarks::Mark& m) {
  at_ = m.at;
  buffer_ = m.buffer;
  count_ = m.count;
  padding_ = m.padding;
  atMarker_ = false;
  window_ = nullptr;
}

// Reads through the source's window while it lasts: a call per byte would cost more than the
// reading.
std::optional<uint8_t> JpegBitReader::ByteAt(uint64_t offset) {
  if (!window_ || offset < windowStart_ || offset - windowStart_ >= windowBytes_) {
    window_ = s_.Window(offset, windowBytes_);
    windowStart_ = offset;
    if (!window_) return std::nullopt;
  }
  return window_[offset - windowStart_];
}

}  // namespace salvora
