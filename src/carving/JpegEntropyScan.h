#pragma once

#include <cstdint>
#include <optional>
#include <vector>

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
    HeldPast, // every row starting at or before the reading's bound holds; not read further
  };
  Outcome outcome = Outcome::NotRead;
  uint64_t offset = 0;
  // Whole: about where the data ends, the byte holding the last block's last bit or one to eight
  // bytes after it, never before.
  uint64_t dataEnd = 0;
};

// Where readings stood at the starts of rows of blocks, a few KiB apart: a reading of another
// source whose bytes are the same up to some offset (the same first piece joined to another
// second piece) goes on from the last row start before it instead of reading those bytes again.
class EntropyRowMarks {
 public:
  struct Mark {
    uint64_t row = 0, mcu = 0, clearTo = 0;
    uint64_t at = 0, buffer = 0;  // the bit reader: the next byte to load and the bits in hand
    int count = 0, padding = 0, nextRestart = 0;
  };
  void Add(const Mark& mark);
  // The last mark that read no byte at or past sameTo, or null.
  const Mark* Before(uint64_t sameTo) const;
  // The marks that read no byte at or past sameTo: those of a reading of another source with the
  // same first sameTo bytes.
  EntropyRowMarks Upto(uint64_t sameTo) const;
  bool empty() const { return marks_.empty(); }

 private:
  std::vector<Mark> marks_;
};

// How far a reading goes and what it keeps.
struct EntropyReading {
  uint64_t bound = UINT64_MAX;             // stop at the first row that starts past it
  EntropyRowMarks* keep = nullptr;         // remember row starts here
  const EntropyRowMarks* from = nullptr;   // go on from the last of these before sameTo
  uint64_t sameTo = 0;
};

// The reading FirstBadEntropyRow makes, with what follows the data when it holds. With a bound,
// it stops at the first row that starts past it: a question about one join of two pieces is
// answered by the rows around it, not by the megabytes after.
EntropyPass ReadEntropyData(ByteSource& source, const EntropyReading& how = {});

}  // namespace salvora
