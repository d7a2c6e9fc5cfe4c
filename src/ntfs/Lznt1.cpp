#include "ntfs/Lznt1.h"

#include <algorithm>
#include <cstring>

namespace salvora {
namespace {

constexpr uint16_t kChunkCompressed = 0x8000;
constexpr uint16_t kChunkLengthMask = 0x0FFF;

// The number of length bits of a back-reference made at position pos of a chunk: the offset field
// grows (and the length field shrinks) as the chunk's output grows past 16, 32, 64... bytes.
unsigned LengthBits(size_t pos) {
  unsigned bits = 12;
  for (size_t i = pos - 1; i >= 0x10; i >>= 1) --bits;
  return bits;
}

// One compressed chunk: groups of a flag byte and eight tokens, a literal byte for a clear bit, a
// 16-bit back-reference for a set one. Writes at most cap bytes.
bool DecompressChunk(ByteView chunk, uint8_t* out, size_t cap) {
  size_t ip = 0, op = 0;
  while (ip < chunk.size() && op < cap) {
    uint8_t flags = chunk.U8(ip++);
    for (int bit = 0; bit < 8 && ip < chunk.size() && op < cap; ++bit, flags >>= 1) {
      if ((flags & 1) == 0) {
        out[op++] = chunk.U8(ip++);
        continue;
      }
      if (!chunk.Has(ip, 2) || op == 0) return false;
      uint16_t token = chunk.U16(ip);
      ip += 2;
      unsigned lengthBits = LengthBits(op);
      size_t offset = size_t(token >> lengthBits) + 1;
      size_t length = size_t(token & ((1u << lengthBits) - 1)) + 3;
      if (offset > op) return false;
      // Byte by byte: a reference may overlap the bytes it produces.
      for (size_t k = 0; k < length && op < cap; ++k, ++op) out[op] = out[op - offset];
    }
  }
  return true;
}

}  // namespace

bool DecompressLznt1(ByteView in, uint8_t* out, size_t outSize) {
  std::memset(out, 0, outSize);
  size_t ip = 0, op = 0;
  while (op < outSize && in.Has(ip, 2)) {
    uint16_t header = in.U16(ip);
    if (header == 0) break;
    ip += 2;
    size_t length = size_t(header & kChunkLengthMask) + 1;
    if (!in.Has(ip, length)) return false;
    size_t cap = std::min(kLznt1ChunkBytes, outSize - op);
    ByteView chunk = in.Sub(ip, length);
    if ((header & kChunkCompressed) == 0) {
      std::memcpy(out + op, chunk.data(), std::min(length, cap));
    } else if (!DecompressChunk(chunk, out + op, cap)) {
      return false;
    }
    ip += length;
    op += cap;
  }
  return true;
}

}  // namespace salvora
