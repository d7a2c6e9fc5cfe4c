#include "carving/JpegEntropyScan.h"

#include "carving/JpegBitReader.h"
#include "carving/JpegHuffmanTable.h"

#include <algorithm>
#include <array>
#include <vector>

namespace salvora {
namespace {

constexpr uint8_t kMarker = 0xFF;
constexpr int kMaxComponents = 4;
// Blocks of one MCU: at most 10 in the format.
constexpr int kMaxBlocksPerMcu = 10;
constexpr uint64_t kMaxMcus = uint64_t(1) << 26;

struct Component {
  uint8_t id = 0;
  int h = 1, v = 1;
  int dcTable = 0, acTable = 0;
};

// What the headers before the scan say.
struct Frame {
  bool sequentialHuffman = false;
  uint32_t width = 0, height = 0;
  std::vector<Component> components;
  uint32_t restartInterval = 0;
  std::array<JpegHuffmanTable, 4> dc, ac;
  uint64_t scanData = 0;
  std::vector<int> scanComponents;  // indexes into components, in scan order
};

bool ReadTables(ByteSource& s, uint64_t at, uint64_t end, Frame& f) {
  while (at < end) {
    const auto classId = s.U8(at);
    uint8_t counts[16];
    if (!classId || !s.Read(at + 1, counts, 16)) return false;
    size_t total = 0;
    for (uint8_t c : counts) total += c;
    if (total > 256 || (*classId & 0x0F) > 3 || (*classId >> 4) > 1) return false;
    std::vector<uint8_t> symbols(total);
    if (total && !s.Read(at + 17, symbols.data(), total)) return false;
    const bool dc = (*classId >> 4) == 0;
    JpegHuffmanTable& table = dc ? f.dc[*classId & 3] : f.ac[*classId & 3];
    if (!table.Load(counts, std::move(symbols), dc)) return false;
    at += 17 + total;
  }
  return at == end;
}

bool ReadFrameHeader(ByteSource& s, uint64_t at, Frame& f) {
  const auto height = s.U16Be(at + 1);
  const auto width = s.U16Be(at + 3);
  const auto count = s.U8(at + 5);
  if (!height || !width || !count || *count == 0 || *count > kMaxComponents) return false;
  f.height = *height;
  f.width = *width;
  for (int i = 0; i < *count; ++i) {
    const auto id = s.U8(at + 6 + 3 * uint64_t(i));
    const auto sampling = s.U8(at + 7 + 3 * uint64_t(i));
    if (!id || !sampling) return false;
    Component c;
    c.id = *id;
    c.h = *sampling >> 4;
    c.v = *sampling & 15;
    if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4) return false;
    f.components.push_back(c);
  }
  return true;
}

bool ReadScanHeader(ByteSource& s, uint64_t at, Frame& f) {
  const auto count = s.U8(at);
  if (!count || *count == 0 || *count > f.components.size()) return false;
  for (int i = 0; i < *count; ++i) {
    const auto id = s.U8(at + 1 + 2 * uint64_t(i));
    const auto tables = s.U8(at + 2 + 2 * uint64_t(i));
    if (!id || !tables) return false;
    int index = -1;
    for (size_t c = 0; c < f.components.size(); ++c)
      if (f.components[c].id == *id) index = int(c);
    if (index < 0 || (*tables >> 4) > 3 || (*tables & 15) > 3) return false;
    f.components[size_t(index)].dcTable = *tables >> 4;
    f.components[size_t(index)].acTable = *tables & 15;
    f.scanComponents.push_back(index);
  }
  return true;
}

// The headers up to the first scan; false for anything this reader leaves to the decoder.
bool ReadHeaders(ByteSource& s, Frame& f) {
  uint64_t at = 2;
  for (int segments = 0; segments < 4096; ++segments) {
    if (s.U8(at) != kMarker) return false;
    auto code = s.U8(at + 1);
    while (code == kMarker) code = s.U8(++at + 1);
    const auto length = s.U16Be(at + 2);
    if (!code || !length || *length < 2) return false;
    const uint64_t body = at + 4, end = at + 2 + *length;
    switch (*code) {
      case 0xC0: case 0xC1:
        f.sequentialHuffman = true;
        if (!ReadFrameHeader(s, body, f)) return false;
        break;
      case 0xC2: case 0xC3: case 0xC5: case 0xC6: case 0xC7: case 0xC9: case 0xCA: case 0xCB:
      case 0xCD: case 0xCE: case 0xCF:
        return false;
      case 0xC4:
        if (!ReadTables(s, body, end, f)) return false;
        break;
      case 0xDD:
        f.restartInterval = s.U16Be(body).value_or(0);
        break;
      case 0xDA:
        if (!f.sequentialHuffman || !ReadScanHeader(s, body, f)) return false;
        f.scanData = end;
        // One scan with every component: the usual form. Scans of single components are left
        // to the decoder.
        return f.scanComponents.size() == f.components.size();
      default:
        break;
    }
    at = end;
  }
  return false;
}

// The long way, for a code longer than the lookahead: the symbol, or -1.
int Decode(JpegBitReader& bits, const JpegHuffmanTable& t) {
  const uint16_t hit = t.look[bits.Peek(JpegHuffmanTable::kLookBits)];
  if (hit >> 8) return bits.Skip(hit >> 8) ? (hit & 0xFF) : -1;
  const uint32_t peek = bits.Peek(16);
  for (int length = JpegHuffmanTable::kLookBits + 1; length <= 16; ++length) {
    const int32_t code = int32_t(peek >> (16 - length));
    if (t.maxCode[length] >= 0 && code <= t.maxCode[length] && code >= t.minCode[length]) {
      const size_t index = size_t(t.valueIndex[length] + code - t.minCode[length]);
      if (index >= t.values.size() || !bits.Skip(length)) return -1;
      return t.values[index];
    }
  }
  return -1;
}

// A DC code and value no step holds; false where the stream cannot be right.
[[gnu::noinline]] bool LongDc(JpegBitReader& bits, const JpegHuffmanTable& dc) {
  const int category = Decode(bits, dc);
  return category >= 0 && category <= 11 && bits.Bits(category) >= 0;
}

// An AC code and value no step holds, for coefficient k: the next coefficient's index (64 or
// more at the block's end), or -1 where the stream cannot be right.
[[gnu::noinline]] int LongAc(JpegBitReader& bits, const JpegHuffmanTable& ac, int k) {
  const int rs = Decode(bits, ac);
  if (rs < 0) return -1;
  const int run = rs >> 4, size = rs & 15;
  if (size == 0) return run == 15 ? k + 16 : 64;  // sixteen zeros, or the end of the block
  k += run;
  if (k > 63 || size > 10 || bits.Bits(size) < 0) return -1;
  return k + 1;
}

// The tables of one MCU's blocks, in coding order.
struct McuTables {
  int blocks = 0;
  std::array<const JpegHuffmanTable*, kMaxBlocksPerMcu> dc{}, ac{};
};

// Reads n MCUs' codes; false at the first block that cannot be right, the reader left where it
// stopped. The bits in hand stay in registers: the reader is touched only for a refill the hand
// cannot make and for a code no step holds. Taking bits past the real ones is noticed at the
// block's end: from there on only padding comes, so the block fails whatever it reads, and the
// position it fails at reads as 0 either way.
bool ReadMcus(JpegBitReader& reader, const McuTables& t, uint64_t n) {
  using Table = JpegHuffmanTable;
  constexpr int kIndexShift = 64 - Table::kLookBits, kPairShift = 64 - Table::kPairBits;
  JpegBitReader::Hand h = reader.Lend();
  // A step takes at most 10 + 11 bits.
  auto refill = [&]() __attribute__((always_inline)) {
    if (h.count < 32 && !JpegBitReader::FillFromHand(h)) {
      reader.Return(h);
      reader.Fill();
      h = reader.Lend();
    }
  };
  for (; n > 0; --n) {
    for (int b = 0; b < t.blocks; ++b) {
      refill();
      if (const uint16_t step = t.dc[size_t(b)]->step[h.buffer >> kIndexShift]) {
        h.buffer <<= step & Table::kStepBits;
        h.count -= step & Table::kStepBits;
      } else {
        reader.Return(h);
        const bool ok = LongDc(reader, *t.dc[size_t(b)]);
        h = reader.Lend();
        if (!ok) return false;
      }
      const Table& ac = *t.ac[size_t(b)];
      for (int k = 1;;) {
        refill();
        // Inside the block, one or two codes at a time.
        const uint32_t pair = ac.pairs[h.buffer >> kPairShift];
        const int move = int(pair >> Table::kMoveOfBoth) & 0xFF, first = int(pair >> Table::kFirstBits) & 0xFF;
        if (((63 - k - move) | (h.count - Table::kRefillBelow - first)) >= 0) {
          h.buffer <<= pair & Table::kStepBits;
          h.count -= int(pair & Table::kStepBits);
          k += move;
          if (pair & Table::kEndsBlock) break;
          continue;
        }
        if (first && k + int(pair >> Table::kMoveOfFirst) < 64) {
          h.buffer <<= first;
          h.count -= first;
          k += int(pair >> Table::kMoveOfFirst);
          continue;
        }
        // The block's last code, a code past its end, or one the pairs do not hold.
        const uint16_t step = ac.step[h.buffer >> kIndexShift];
        if (step == 0) {
          reader.Return(h);
          k = LongAc(reader, ac, k);
          h = reader.Lend();
          if (k < 0) return false;
          if (k >= 64) break;
          continue;
        }
        h.buffer <<= step & Table::kStepBits;
        h.count -= step & Table::kStepBits;
        k += step >> Table::kMoveShift;
        if (k >= 64) {
          if ((step & Table::kCoefficient) && k > 64) {
            reader.Return(h);
            return false;  // a coefficient past the block's last
          }
          break;
        }
      }
      if (h.count < h.padding) {
        reader.Return(h);
        return false;
      }
    }
  }
  reader.Return(h);
  return true;
}

// Where a run of one byte value, kConstantRun long or more, starts between from and to (it may
// go on past to), or nullopt. Coded data never holds such a run, but zero fill decodes as valid
// codes under most tables, so the decode alone finds it only rows or clusters later. Looks at
// one byte in kRunSample: a run that long spans a whole sample stretch.
constexpr uint64_t kConstantRun = 512;
constexpr uint64_t kRunSample = kConstantRun / 2;

bool Constant(ByteSource& source, uint64_t at, uint64_t n, uint8_t value) {
  while (n > 0) {
    size_t available = 0;
    const uint8_t* p = source.Window(at, available);
    if (!p || available == 0) return false;
    const size_t k = size_t(std::min<uint64_t>(n, available));
    for (size_t i = 0; i < k; ++i)
      if (p[i] != value) return false;
    at += k;
    n -= k;
  }
  return true;
}

std::optional<uint64_t> ConstantRunStart(ByteSource& source, uint64_t from, uint64_t to) {
  for (uint64_t p = (from + kRunSample - 1) / kRunSample * kRunSample; p + kRunSample <= to; p += kRunSample) {
    const auto value = source.U8(p);
    if (!value || source.U8(p + kRunSample - 1) != value || !Constant(source, p, kRunSample, *value)) continue;
    uint64_t start = p, end = p + kRunSample;
    while (start > from && source.U8(start - 1) == value) --start;
    while (end - start < kConstantRun && source.U8(end) == value) ++end;
    if (end - start >= kConstantRun) return start;
  }
  return std::nullopt;
}

}  // namespace

// Row starts closer than this are not all kept: a resumed reading reads at most this much again.
constexpr uint64_t kMarkSpacing = 16 * 1024;

void EntropyRowMarks::Add(const Mark& mark) {
  if (marks_.empty() || mark.at >= marks_.back().at + kMarkSpacing) marks_.push_back(mark);
}

const EntropyRowMarks::Mark* EntropyRowMarks::Before(uint64_t sameTo) const {
  auto it = std::upper_bound(marks_.begin(), marks_.end(), sameTo,
                             [](uint64_t to, const Mark& m) { return to < m.at; });
  return it == marks_.begin() ? nullptr : &*(it - 1);
}

EntropyRowMarks EntropyRowMarks::Upto(uint64_t sameTo) const {
  EntropyRowMarks same;
  for (const Mark& m : marks_)
    if (m.at <= sameTo) same.marks_.push_back(m);
  return same;
}

EntropyPass ReadEntropyData(ByteSource& source, const EntropyReading& how) {
  Frame f;
  if (source.U8(0) != kMarker || source.U8(1) != 0xD8 || !ReadHeaders(source, f)) return {};
  if (f.width == 0 || f.height == 0) return {};
  int hMax = 1, vMax = 1, blocks = 0;
  for (const Component& c : f.components) {
    hMax = std::max(hMax, c.h);
    vMax = std::max(vMax, c.v);
  }
  const bool single = f.components.size() == 1;
  for (const Component& c : f.components) {
    blocks += single ? 1 : c.h * c.v;
    if (!f.dc[size_t(c.dcTable)].present || !f.ac[size_t(c.acTable)].present) return {};
  }
  if (blocks > kMaxBlocksPerMcu) return {};
  // A lone component is coded block by block, whatever its sampling factors say.
  const uint64_t unitX = single ? 8 * uint64_t(hMax) / uint64_t(f.components[0].h) : 8 * uint64_t(hMax);
  const uint64_t unitY = single ? 8 * uint64_t(vMax) / uint64_t(f.components[0].v) : 8 * uint64_t(vMax);
  const uint64_t columns = (f.width + unitX - 1) / unitX;
  const uint64_t rows = (f.height + unitY - 1) / unitY;
  if (columns * rows > kMaxMcus) return {};

  McuTables tables;
  for (const int index : f.scanComponents) {
    const Component& c = f.components[size_t(index)];
    for (int i = 0; i < (single ? 1 : c.h * c.v); ++i, ++tables.blocks) {
      tables.dc[size_t(tables.blocks)] = &f.dc[size_t(c.dcTable)];
      tables.ac[size_t(tables.blocks)] = &f.ac[size_t(c.acTable)];
    }
  }

  JpegBitReader bits(source, f.scanData);
  uint64_t mcu = 0, firstRow = 0;
  int nextRestart = 0;
  // The data up to here holds no constant run: each row's bytes are looked at once it is read,
  // from a run's length before them (a run may start in the row before).
  uint64_t clearTo = f.scanData;
  if (const auto* mark = how.from ? how.from->Before(how.sameTo) : nullptr) {
    bits.Restore(*mark);
    firstRow = mark->row;
    mcu = mark->mcu;
    nextRestart = mark->nextRestart;
    clearTo = mark->clearTo;
  }
  auto bad = [&](uint64_t rowStart) {
    const auto run = ConstantRunStart(source, std::max(f.scanData, clearTo > kConstantRun ? clearTo - kConstantRun : 0),
                                      std::max(bits.Position(), rowStart + 1));
    return EntropyPass{EntropyPass::Outcome::BadRow, run ? std::min(*run, rowStart) : rowStart};
  };
  for (uint64_t row = firstRow; row < rows; ++row) {
    const uint64_t rowStart = bits.Position();
    if (EntropyRowMarks::Mark mark{row, mcu, clearTo}; how.keep && bits.Save(mark)) {
      mark.nextRestart = nextRestart;
      how.keep->Add(mark);
    }
    if (rowStart > how.bound) {
      // A run that began before the bound is a bad row there too.
      const uint64_t from = std::max(f.scanData, clearTo > kConstantRun ? clearTo - kConstantRun : 0);
      if (const auto run = ConstantRunStart(source, from, rowStart)) return {EntropyPass::Outcome::BadRow, *run};
      return {EntropyPass::Outcome::HeldPast, rowStart};
    }
    // MCUs up to the next restart marker at a time.
    for (uint64_t column = 0; column < columns;) {
      uint64_t n = columns - column;
      if (f.restartInterval) {
        if (mcu > 0 && mcu % f.restartInterval == 0) {
          if (!bits.Restart(nextRestart)) return bad(rowStart);
          nextRestart = (nextRestart + 1) % 8;
        }
        n = std::min<uint64_t>(n, f.restartInterval - mcu % f.restartInterval);
      }
      if (!ReadMcus(bits, tables, n)) return bad(rowStart);
      column += n;
      mcu += n;
    }
    if (bits.Position() >= clearTo + kRunSample) {
      const uint64_t from = std::max(f.scanData, clearTo > kConstantRun ? clearTo - kConstantRun : 0);
      const auto run = ConstantRunStart(source, from, bits.Position());
      bits.DropWindow();
      if (run) return {EntropyPass::Outcome::BadRow, *run};
      clearTo = bits.Position();
    }
  }
  const uint64_t dataEnd = bits.Position();
  return {EntropyPass::Outcome::Whole, bits.EndOfImageAfterData().value_or(0), dataEnd};
}

std::optional<uint64_t> FirstBadEntropyRow(ByteSource& source) {
  const EntropyPass pass = ReadEntropyData(source);
  if (pass.outcome == EntropyPass::Outcome::BadRow) return pass.offset;
  return std::nullopt;
}

}  // namespace salvora
