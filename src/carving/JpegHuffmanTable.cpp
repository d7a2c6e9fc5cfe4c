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

}  // namespace salvora
