#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace salvora {

// One Huffman table of a JPEG's entropy data, in the canonical form of the format (for each code
// length, the largest code and where its symbols begin), with lookups on the next kLookBits bits
// for reading codes without decoding the values they announce.
struct JpegHuffmanTable {
  static constexpr int kLookBits = 10;

  bool present = false;
  // The code's length and symbol (length 0: a longer code).
  std::array<uint16_t, 1 << kLookBits> look{};
  std::array<int32_t, 17> maxCode{};
  std::array<int32_t, 17> valueIndex{};
  std::array<int32_t, 17> minCode{};
  std::vector<uint8_t> values;

  // The code and the value after it as one step (0: a longer code, or a value size out of range,
  // read the long way). Values never need decoding, only skipping. The low byte holds the bits
  // the step takes (kStepBits of it: a shift by the whole entry takes them), the high byte what
  // the symbol does. A DC step's high byte is only not zero. An AC step's says how far the
  // coefficient index moves (kEndOfBlock for the end of the block); kCoefficient in the low byte
  // marks a coefficient: moving past the block's last one with it is an error, with a run of
  // sixteen zeros or the end it is not.
  static constexpr uint16_t kStepBits = 0x3F, kCoefficient = 0x80, kEndOfBlock = 64;
  static constexpr int kMoveShift = 8;
  std::array<uint16_t, 1 << kLookBits> step{};

  // For AC tables, on the next kPairBits bits: up to two codes of one block, each with its
  // value, as one step. The low byte as in `step` (kEndsBlock: the second code, or the only one,
  // ends the block), then how far the coefficient index moves (kNoPair when these bits hold
  // nothing a pair step may take: a long code, a value size out of range); for two codes, then
  // the bits the first takes and how far it moves alone (0 for one code). A step may be taken
  // when the index stays inside the block; the second code of two only where a reading symbol
  // by symbol would not refill before it (32 bits in hand after the first), so that the
  // reader's offsets are the same either way.
  static constexpr int kPairBits = 12;
  static constexpr uint32_t kEndsBlock = 0x80, kNoPair = 63;
  static constexpr int kMoveOfBoth = 8, kFirstBits = 16, kMoveOfFirst = 24, kRefillBelow = 32;
  std::array<uint32_t, 1 << kPairBits> pairs{};

  // From a table segment's sixteen counts and its symbols; false for a table no code fits.
  bool Load(const uint8_t counts[16], std::vector<uint8_t> symbols, bool dc);

 private:
  void LoadSteps(bool dc);
  void LoadPairs();
  // The code the first `available` bits of `bits` start with: its length and symbol, or length 0.
  std::pair<int, int> Match(uint32_t bits, int available) const;
};

}  // namespace salvora
