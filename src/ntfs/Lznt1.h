#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/ByteView.h"

namespace salvora {

// Every LZNT1 chunk stands for this many bytes of output.
inline constexpr size_t kLznt1ChunkBytes = 4096;

// Decompresses the LZNT1 chunks in `in` (the clusters of one compression unit) into out, which is
// filled completely: a chunk that gives fewer than 4,096 bytes, and everything after a zero chunk
// header or the end of the input, reads as zeros. False when a chunk is malformed (its length runs
// past the input, a back-reference points before the chunk); out then holds what came before.
bool DecompressLznt1(ByteView in, uint8_t* out, size_t outSize);

}  // namespace salvora
