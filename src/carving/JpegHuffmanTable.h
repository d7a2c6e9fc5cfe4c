#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
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

  // From a table segment's sixteen counts and its symbols; false for a table no code fits.
  bool Load(const uint8_t counts[16], std::vector<uint8_t> symbols, bool dc);

 private:
  void LoadSteps(bool dc);
};

}  // namespace salvora
