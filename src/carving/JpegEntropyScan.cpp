#include "carving/JpegEntropyScan.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace salvora {
namespace {

constexpr uint8_t kMarker = 0xFF;
constexpr uint8_t kEndOfImage = 0xD9;
constexpr int kMaxComponents = 4;
// Blocks of one MCU: at most 10 in the format.
constexpr int kMaxBlocksPerMcu = 10;
constexpr uint64_t kMaxMcus = uint64_t(1) << 26;

// A Huffman table in the canonical form of the format: for each code length, the largest code
// and where its symbols begin.
struct HuffmanTable {
  static constexpr int kLookBits = 10;
  bool present = false;
  // For the next kLookBits bits: the code's length and symbol (length 0: a longer code).
  std::array<uint16_t, 1 << kLookBits> look{};
  std::array<int32_t, 17> maxCode{};
  std::array<int32_t, 17> valueIndex{};
  std::array<int32_t, 17> minCode{};
  std::vector<uint8_t> values;

  bool Load(const uint8_t counts[16], std::vector<uint8_t> symbols) {
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
        const size_t index = size_t(valueIndex[length] + c - minCode[length]);
        if (index >= values.size()) return false;
        const int shift = kLookBits - length;
        for (int32_t fill = 0; fill < (1 << shift); ++fill)
          look[size_t((c << shift) | fill)] = uint16_t(length << 8 | values[index]);
      }
    }
    present = true;
    return true;
  }

  // The next kLookBits bits as one step: the bits the code and the value after it take, and the
  // symbol (0: a longer code, or a value size out of range, read the long way). Values never need
  // reading, only skipping. A DC symbol is the value's size (at most 11); an AC one holds a run
  // and a size (at most 10).
  std::array<uint16_t, 1 << kLookBits> step{};
  void LoadSteps(bool dc) {
    for (size_t bits = 0; bits < look.size(); ++bits) {
      const int length = look[bits] >> 8, symbol = look[bits] & 0xFF;
      const int size = dc ? symbol : symbol & 15;
      if (length == 0 || size > (dc ? 11 : 10)) continue;
      step[bits] = uint16_t((length + size) << 8 | symbol);
    }
  }
};

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
  std::array<HuffmanTable, 4> dc, ac;
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
    HuffmanTable& table = (*classId >> 4) ? f.ac[*classId & 3] : f.dc[*classId & 3];
    if (!table.Load(counts, std::move(symbols))) return false;
    table.LoadSteps((*classId >> 4) == 0);
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

// The bits of the entropy data, stuffing removed, through a 64-bit buffer. At a marker (or the
// source's end) the buffer is filled with zero bits that may be looked at but not taken.
class BitReader {
 public:
  BitReader(ByteSource& s, uint64_t at) : s_(s), at_(at) {}

  // The next n bits (n <= 16), zeros past the real ones.
  uint32_t Peek(int n) {
    if (count_ < n) Fill();
    return uint32_t(buffer_ >> (count_ - n)) & ((1u << n) - 1);
  }
  // Takes n bits; false when they run past the real bits.
  bool Skip(int n) {
    if (count_ < n) Fill();
    count_ -= n;
    return count_ >= padding_;
  }
  // n bits as a value, or -1 past the real bits.
  int32_t Bits(int n) {
    if (n == 0) return 0;
    const uint32_t v = Peek(n);
    return Skip(n) ? int32_t(v) : -1;
  }
  // Drops the padding bits of the byte in hand and expects restart marker `number` next.
  bool Restart(int number) {
    if (count_ - padding_ >= 8) return false;  // whole bytes left before the marker
    count_ = padding_ = 0;
    buffer_ = 0;
    atMarker_ = false;
    while (ByteAt(at_) == kMarker && ByteAt(at_ + 1) == kMarker) ++at_;  // fill bytes
    if (ByteAt(at_) != kMarker || ByteAt(at_ + 1) != uint8_t(0xD0 + number)) return false;
    at_ += 2;
    return true;
  }
  // About the offset of the byte holding the next bit (stuffed bytes in the buffer aside).
  uint64_t Position() const {
    const uint64_t held = uint64_t(count_ - padding_) / 8;
    return at_ > held ? at_ - held : 0;
  }

  // The bytes up to the marker after the entropy data, once the last block is read: the offset
  // right after an end-of-image marker that follows at once (fill bytes aside), or nullopt when
  // whole bytes, another marker or the source's end come first.
  std::optional<uint64_t> EndOfImageAfterData() {
    Fill();
    if (!atMarker_ || count_ - padding_ >= 8) return std::nullopt;
    uint64_t at = at_;
    while (ByteAt(at) == kMarker && ByteAt(at + 1) == kMarker) ++at;
    if (ByteAt(at) != kMarker || ByteAt(at + 1) != kEndOfImage) return std::nullopt;
    return at + 2;
  }
  // Forgets the source's window, which a read of the source by someone else may have moved.
  void DropWindow() { window_ = nullptr; }
  // The state a reading of the same bytes may go on from; false while a marker or the source's
  // end is in hand (another source with the same first bytes may go on there).
  bool Save(EntropyRowMarks::Mark& m) const {
    if (atMarker_ || padding_) return false;
    m.at = at_;
    m.buffer = buffer_;
    m.count = count_;
    m.padding = padding_;
    return true;
  }
  void Restore(const EntropyRowMarks::Mark& m) {
    at_ = m.at;
    buffer_ = m.buffer;
    count_ = m.count;
    padding_ = m.padding;
    atMarker_ = false;
    window_ = nullptr;
  }
  // Takes the bits a table step says (the step's own lookahead was enough).
  uint16_t Step(const HuffmanTable& t) {
    if (count_ < 32) Fill();  // a step takes at most 10 + 11 bits
    return t.step[size_t(buffer_ >> (count_ - HuffmanTable::kLookBits)) & ((1u << HuffmanTable::kLookBits) - 1)];
  }
  bool Take(int n) {
    count_ -= n;
    return count_ >= padding_;
  }

 private:
  void Fill() {
    while (count_ <= 56) {
      // The usual case, a byte of data inside the window in hand.
      if (!atMarker_ && window_ && at_ >= windowStart_ && at_ - windowStart_ + 8 <= windowBytes_) {
        // Eight bytes at once when none of them is FF (no stuffing, no marker).
        const uint8_t* p = window_ + (at_ - windowStart_);
        uint64_t v;
        std::memcpy(&v, p, 8);
        const uint64_t x = ~v;
        if (((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) == 0) {
          v = __builtin_bswap64(v);
          const int n = (64 - count_) / 8;
          buffer_ = n == 8 ? v : (buffer_ << (8 * n)) | (v >> (64 - 8 * n));
          count_ += 8 * n;
          at_ += uint64_t(n);
          continue;
        }
      }
      if (!atMarker_ && window_ && at_ >= windowStart_ && at_ - windowStart_ + 1 < windowBytes_) {
        const uint8_t* p = window_ + (at_ - windowStart_);
        if (p[0] != kMarker || p[1] == 0x00) {
          buffer_ = (buffer_ << 8) | p[0];
          count_ += 8;
          at_ += p[0] == kMarker ? 2 : 1;
          continue;
        }
      }
      uint8_t next = 0;
      if (!atMarker_) {
        const auto b = ByteAt(at_);
        if (b && *b == kMarker && ByteAt(at_ + 1) != 0x00) atMarker_ = true;
        else if (!b) atMarker_ = true;
        else {
          next = *b;
          at_ += *b == kMarker ? 2 : 1;
        }
      }
      if (atMarker_) padding_ += 8;
      buffer_ = (buffer_ << 8) | next;
      count_ += 8;
    }
  }
  // Reads through the source's window while it lasts: a call per byte would cost more than the
  // decoding.
  std::optional<uint8_t> ByteAt(uint64_t offset) {
    if (!window_ || offset < windowStart_ || offset - windowStart_ >= windowBytes_) {
      window_ = s_.Window(offset, windowBytes_);
      windowStart_ = offset;
      if (!window_) return std::nullopt;
    }
    return window_[offset - windowStart_];
  }

  ByteSource& s_;
  uint64_t at_;
  uint64_t buffer_ = 0;
  int count_ = 0;    // bits in the buffer
  int padding_ = 0;  // of which zero bits put in at a marker
  bool atMarker_ = false;
  const uint8_t* window_ = nullptr;
  uint64_t windowStart_ = 0;
  size_t windowBytes_ = 0;
};

int Decode(BitReader& bits, const HuffmanTable& t) {
  const uint16_t hit = t.look[bits.Peek(HuffmanTable::kLookBits)];
  if (hit >> 8) return bits.Skip(hit >> 8) ? (hit & 0xFF) : -1;
  const uint32_t peek = bits.Peek(16);
  for (int length = HuffmanTable::kLookBits + 1; length <= 16; ++length) {
    const int32_t code = int32_t(peek >> (16 - length));
    if (t.maxCode[length] >= 0 && code <= t.maxCode[length] && code >= t.minCode[length]) {
      const size_t index = size_t(t.valueIndex[length] + code - t.minCode[length]);
      if (index >= t.values.size() || !bits.Skip(length)) return -1;
      return t.values[index];
    }
  }
  return -1;
}

// One block's codes; false where the stream cannot be right.
bool Block(BitReader& bits, const HuffmanTable& dc, const HuffmanTable& ac) {
  if (const uint16_t step = bits.Step(dc)) {
    if (!bits.Take(step >> 8)) return false;
  } else {
    const int category = Decode(bits, dc);
    if (category < 0 || category > 11 || bits.Bits(category) < 0) return false;
  }
  for (int k = 1; k < 64;) {
    // Most codes and their values fit the lookahead: one look, one take.
    if (const uint16_t step = bits.Step(ac)) {
      if (!bits.Take(step >> 8)) return false;
      const int run = (step >> 4) & 15, size = step & 15;
      if (size == 0) {
        if (run != 15) return true;
        k += 16;
        continue;
      }
      k += run;
      if (k > 63) return false;
      ++k;
      continue;
    }
    const int rs = Decode(bits, ac);
    if (rs < 0) return false;
    const int run = rs >> 4, size = rs & 15;
    if (size == 0) {
      if (run != 15) return true;  // end of block
      k += 16;
      continue;
    }
    k += run;
    if (k > 63 || size > 10 || bits.Bits(size) < 0) return false;
    ++k;
  }
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

  BitReader bits(source, f.scanData);
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
    for (uint64_t column = 0; column < columns; ++column, ++mcu) {
      if (f.restartInterval && mcu > 0 && mcu % f.restartInterval == 0) {
        if (!bits.Restart(nextRestart)) return bad(rowStart);
        nextRestart = (nextRestart + 1) % 8;
      }
      for (const int index : f.scanComponents) {
        const Component& c = f.components[size_t(index)];
        const int count = single ? 1 : c.h * c.v;
        for (int i = 0; i < count; ++i)
          if (!Block(bits, f.dc[size_t(c.dcTable)], f.ac[size_t(c.acTable)])) return bad(rowStart);
      }
    }
    if (bits.Position() >= clearTo + kRunSample) {
      const uint64_t from = std::max(f.scanData, clearTo > kConstantRun ? clearTo - kConstantRun : 0);
      const auto run = ConstantRunStart(source, from, bits.Position());
      bits.DropWindow();
      if (run) return {EntropyPass::Outcome::BadRow, *run};
      clearTo = bits.Position();
    }
  }
  return {EntropyPass::Outcome::Whole, bits.EndOfImageAfterData().value_or(0)};
}

std::optional<uint64_t> FirstBadEntropyRow(ByteSource& source) {
  const EntropyPass pass = ReadEntropyData(source);
  if (pass.outcome == EntropyPass::Outcome::BadRow) return pass.offset;
  return std::nullopt;
}

}  // namespace salvora
