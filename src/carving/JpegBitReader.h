#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>

#include "carving/ByteSource.h"
#include "carving/JpegEntropyScan.h"

namespace salvora {

// The bits of a JPEG scan's entropy data, stuffing removed, through a 64-bit buffer whose
// highest bits are the ones in hand. At a marker (or the source's end) zero bits are put in,
// which may be looked at but not taken (padding).
//
// The block loop reads most bits through a Hand: a copy of the state it keeps in registers,
// refilled eight bytes at a time while the source's window holds them and no byte is FF, and
// given back before anything else uses the reader. A call per symbol on a reader in memory
// costs more than the reading.
class JpegBitReader {
 public:
  JpegBitReader(ByteSource& s, uint64_t at) : s_(s), at_(at) {}

  struct Hand {
    uint64_t buffer = 0;
    int count = 0, padding = 0;
    // Bytes that may be loaded without a look at the source: next < loadEnd (both null: none).
    const uint8_t* next = nullptr;
    const uint8_t* loadEnd = nullptr;
  };
  [[gnu::always_inline]] Hand Lend() const {
    Hand h{buffer_, count_, padding_, nullptr, nullptr};
    if (!atMarker_ && window_ && at_ >= windowStart_ && at_ - windowStart_ + 8 <= windowBytes_) {
      h.next = window_ + (at_ - windowStart_);
      h.loadEnd = window_ + windowBytes_ - 7;
    }
    return h;
  }
  [[gnu::always_inline]] void Return(const Hand& h) {
    buffer_ = h.buffer;
    count_ = h.count;
    if (h.next) at_ = windowStart_ + uint64_t(h.next - window_);
  }
  // Tops the hand up to more than 56 bits as Fill does, when the next eight bytes are in the
  // window and none is FF (no stuffing, no marker); false when Fill must.
  [[gnu::always_inline]] static bool FillFromHand(Hand& h) {
    if (h.next >= h.loadEnd) return false;
    uint64_t v;
    std::memcpy(&v, h.next, 8);
    const uint64_t x = ~v;
    if ((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) return false;
    if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
    const int n = (64 - h.count) / 8;
    v &= ~uint64_t(0) << (64 - 8 * n);  // only whole bytes: the next fill goes on after them
    h.buffer |= v >> h.count;
    h.count += 8 * n;
    h.next += n;
    return true;
  }

  // Loads bytes until more than 56 bits are in hand, padding past the data.
  void Fill();

  // The next n bits (1 <= n <= 16), zeros past the real ones.
  uint32_t Peek(int n) {
    if (count_ < n) Fill();
    return uint32_t(buffer_ >> (64 - n));
  }
  // Takes n bits; false when they run past the real bits.
  bool Skip(int n) {
    if (count_ < n) Fill();
    count_ -= n;
    buffer_ <<= n;
    return count_ >= padding_;
  }
  // n bits as a value, or -1 past the real bits.
  int32_t Bits(int n) {
    if (n == 0) return 0;
    const uint32_t v = Peek(n);
    return Skip(n) ? int32_t(v) : -1;
  }
  // Drops the padding bits of the byte in hand and expects restart marker `number` next.
  bool Restart(int number);
  // About the offset of the byte holding the next bit (stuffed bytes in the buffer aside); 0 once
  // bits past the real ones were taken.
  uint64_t Position() const {
    const uint64_t held = uint64_t(count_ - padding_) / 8;
    return at_ > held ? at_ - held : 0;
  }
  // The bytes up to the marker after the entropy data, once the last block is read: the offset
  // right after an end-of-image marker that follows at once (fill bytes aside), or nullopt when
  // whole bytes, another marker or the source's end come first.
  std::optional<uint64_t> EndOfImageAfterData();
  // Forgets the source's window, which a read of the source by someone else may have moved.
  void DropWindow() { window_ = nullptr; }
  // The state a reading of the same bytes may go on from; false while a marker or the source's
  // end is in hand (another source with the same first bytes may go on there).
  bool Save(EntropyRowMarks::Mark& m) const;
  void Restore(const EntropyRowMarks::Mark& m);

 private:
  std::optional<uint8_t> ByteAt(uint64_t offset);
  void Append(uint8_t byte) {
    buffer_ |= uint64_t(byte) << (56 - count_);
    count_ += 8;
  }

  ByteSource& s_;
  uint64_t at_;  // the next byte to load
  uint64_t buffer_ = 0;
  int count_ = 0;    // bits in the buffer
  int padding_ = 0;  // of which zero bits put in at a marker
  bool atMarker_ = false;
  const uint8_t* window_ = nullptr;
  uint64_t windowStart_ = 0;
  size_t windowBytes_ = 0;
};

}  // namespace salvora
