#pragma once

#include <cstdint>
#include <optional>

#include "carving/ByteSource.h"

namespace salvora {

// Reads a sequential Huffman-coded JPEG's entropy data symbol by symbol without decoding the
// picture, and finds where it stops being a possible stream: a code no table holds, a block with
// more than 64 coefficients, a value category out of range, a restart marker out of turn, a
// marker before the last block, or a run of one byte value of 512 bytes or more (zero fill
// written over the picture, which decodes as valid codes; its first byte is the offset given). A decoder quietly reads such data as grey or smeared blocks and
// may only complain at the end marker; this finds the first bad row of blocks. The offset of that
// row's first byte, or nullopt when the data holds to the last block or the file is not a
// single-scan sequential Huffman JPEG (progressive and arithmetic-coded ones are left to the
// decoder).
std::optional<uint64_t> FirstBadEntropyRow(ByteSource& source);

// What one reading of the entropy data found.
struct EntropyPass {
  enum class Outcome : uint8_t {
    NotRead,  // not a single-scan sequential Huffman JPEG: left to the decoder
    BadRow,   // offset: the first byte of the first bad row of blocks
    Whole,    // the data holds to the last block; offset: the byte after an end-of-image marker
              // that follows the data at once (fill bytes aside), 0 when anything else follows
  };
  Outcome outcome = Outcome::NotRead;
  uint64_t offset = 0;
};

// The reading FirstBadEntropyRow makes, with what follows the data when it holds.
EntropyPass ReadEntropyData(ByteSource& source);

}  // namespace salvora
