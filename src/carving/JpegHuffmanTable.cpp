#include "carving/JpegHuffmanTable.h"

#include <utility>

namespace salvora {

bool JpegHuffmanTable::Load(const uint8_t counts[16], std::vector<uint8_t> symbols, bool dc) {
  int32_t code = 0, index = 0;
  for (int length = 1; length <= 16; ++length) {
    const int n = counts[length - 1];
    minCode[length] = code;
    valueIndex[length] = index;
    maxCode[length] = n ? code + n - 1 : -1;
    code += n;
    index += n;
    if (code > (1 << length)) return false;  // more codes than the length allows
    code <<= 1;
  }
  values = std::move(symbols);
  look.fill(0);
  for (int length = 1; length <= kLookBits; ++length) {
    for (int32_t c = minCode[length]; maxCode[length] >= 0 && c <= maxCode[length]; ++c) {
      const size_t at = size_t(valueIndex[length] + c - minCode[length]);
      if (at >= values.size()) return false;
      const int shift = kLookBits - length;
      for (int32_t fill = 0; fill < (1 << shift); ++fill)
        look[size_t((c << shift) | fill)] = uint16_t(length << 8 | values[at]);
    }
  }
  LoadSteps(dc);
  if (!dc) LoadPairs();
  present = true;
  return true;
}

// A DC symbol is the value's size (at most 11); an AC one holds a run and a size (at most 10).
// An AC symbol of size 0 ends the block unless its run is 15 (sixteen zeros).
void JpegHuffmanTable::LoadSteps(bool dc) {
  step.fill(0);
  for (size_t bits = 0; bits < look.size(); ++bits) {
    const int length = look[bits] >> 8, symbol = look[bits] & 0xFF;
    const int size = dc ? symbol : symbol & 15, run = symbol >> 4;
    if (length == 0 || size > (dc ? 11 : 10)) continue;
    int move = 1, coefficient = 0;
    if (!dc) {
      move = size ? run + 1 : run == 15 ? 16 : kEndOfBlock;
      coefficient = size ? kCoefficient : 0;
    }
    step[bits] = uint16_t(move << kMoveShift | coefficient | (length + size));
  }
}

std::pair<int, int> JpegHuffmanTable::Match(uint32_t bits, int available) const {
  for (int length = 1; length <= available && length <= 16; ++length) {
    const int32_t code = int32_t(bits >> (available - length));
    if (maxCode[length] >= 0 && code <= maxCode[length] && code >= minCode[length]) {
      const size_t at = size_t(valueIndex[length] + code - minCode[length]);
      if (at < values.size()) return {length, values[at]};
      return {0, 0};
    }
  }
  return {0, 0};
}

void JpegHuffmanTable::LoadPairs() {
  for (uint32_t bits = 0; bits < pairs.size(); ++bits) {
    const auto [length1, symbol1] = Match(bits, kPairBits);
    const int size1 = symbol1 & 15, run1 = symbol1 >> 4;
    if (length1 == 0 || size1 > 10) {
      pairs[bits] = kNoPair << kMoveOfBoth;
      continue;
    }
    if (size1 == 0 && run1 != 15) {
      pairs[bits] = kEndsBlock | uint32_t(length1);  // the end of the block alone
      continue;
    }
    const int taken1 = length1 + size1, move1 = size1 ? run1 + 1 : 16;
    pairs[bits] = uint32_t(move1) << kMoveOfBoth | uint32_t(taken1);
    const int left = kPairBits - taken1;
    if (left <= 0) continue;
    const auto [length2, symbol2] = Match(bits & ((1u << left) - 1), left);
    const int size2 = symbol2 & 15, run2 = symbol2 >> 4;
    const uint32_t first = uint32_t(move1) << kMoveOfFirst | uint32_t(taken1) << kFirstBits;
    if (length2 && size2 == 0 && run2 != 15)
      pairs[bits] = first | uint32_t(move1) << kMoveOfBoth | kEndsBlock | uint32_t(taken1 + length2);
    else if (length2 && size2 <= 10)
      pairs[bits] = first | uint32_t(move1 + (size2 ? run2 + 1 : 16)) << kMoveOfBoth | uint32_t(taken1 + length2 + size2);
  }
}

}  // namespace salvora
