#include "carving/JpegGapSearch.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "carving/JpegDecodeCheck.h"
#include "carving/JpegEntropyScan.h"
#include "carving/SplicedByteSource.h"
#include "carving/StructureWalks.h"
#include "carving/SizeLimits.h"

namespace salvora {
namespace {

constexpr uint8_t kMarker = 0xFF;
constexpr uint8_t kStartOfScan = 0xDA;
constexpr uint8_t kEndOfImage = 0xD9;
constexpr uint8_t kDefineRestartInterval = 0xDD;
constexpr uint64_t kMaxStep = 4ull << 20;  // larger than any allocation unit

bool IsRestart(uint8_t code) { return code >= 0xD0 && code <= 0xD7; }

// What one allocation unit holds, seen as a piece of a scan's entropy-coded data.
struct UnitLook {
  bool entropy = false;  // only the markers entropy data may hold, and bytes spread as coded data
  int firstRestart = -1;  // the first and last restart marker's number, -1 for none
  int lastRestart = -1;
};

// Compressed data spreads its bytes: about half have the top bit set, and zero bytes are rare
// (mostly the stuffing after FF). Text, tables and zero fill fail this; it needs enough bytes to
// judge, so a unit ending in the end marker after a few bytes passes.
bool SpreadLikeCodedData(size_t highBits, size_t zeros, size_t n) {
  if (n < 64) return true;
  return highBits * 100 >= n * 15 && highBits * 100 <= n * 85 && zeros * 100 <= n * 20;
}

// Looks at the unit at `at` and the byte after it (a marker may straddle the unit's end).
UnitLook Inspect(ByteSource& source, uint64_t at, uint64_t step, std::vector<uint8_t>& buffer) {
  UnitLook look;
  buffer.resize(size_t(step) + 1);
  size_t n = size_t(step) + 1;
  if (!source.Read(at, buffer.data(), n)) {
    n = size_t(step);
    if (!source.Read(at, buffer.data(), n)) return look;  // the medium ends or fails here
    buffer[n] = 0;
  }
  size_t high = 0, zeros = 0, seen = 0;
  for (size_t i = 0; i < size_t(step); ++i, ++seen) {
    const uint8_t b = buffer[i];
    high += b >> 7;
    zeros += b == 0;
    if (b != kMarker) continue;
    const uint8_t next = buffer[i + 1];
    if (next == kEndOfImage) break;
    if (IsRestart(next)) {
      if (look.firstRestart < 0) look.firstRestart = next - 0xD0;
      look.lastRestart = next - 0xD0;
    } else if (next != 0x00 && next != kMarker) {
      return look;
    }
  }
  look.entropy = SpreadLikeCodedData(high, zeros, seen);
  return look;
}

// Where the first scan's entropy-coded data begins, and whether a restart interval was declared.
struct ScanStart {
  uint64_t offset = 0;
  bool restarts = false;
};

std::optional<ScanStart> FirstScan(ByteSource& source, uint64_t limit) {
  ScanStart scan;
  uint64_t at = 2;
  while (at + 4 <= limit) {
    const auto marker = source.U8(at);
    const auto code = source.U8(at + 1);
    const auto length = source.U16Be(at + 2);
    if (marker != kMarker || !code || !length || *length < 2) return std::nullopt;
    if (*code == kDefineRestartInterval) scan.restarts = source.U16Be(at + 4).value_or(0) != 0;
    at += 2 + *length;
    if (*code == kStartOfScan) {
      scan.offset = at;
      return scan;
    }
  }
  return std::nullopt;
}

// What all the joins of one file have used of its bounds.
struct Spent {
  int walks = 0;
  int decodes = 0;
};

// Pieces of a spliced medium (bytes [0, firstLength) of its base, then the base from secondOffset
// on) as pieces of the base.
std::vector<JpegPiece> ThroughSplice(const std::vector<JpegPiece>& pieces, uint64_t firstLength, uint64_t secondOffset) {
  std::vector<JpegPiece> out;
  auto add = [&out](uint64_t offset, uint64_t length) {
    if (length == 0) return;
    if (!out.empty() && out.back().offset + out.back().length == offset) out.back().length += length;
    else out.push_back({offset, length});
  };
  for (const JpegPiece& p : pieces) {
    const uint64_t head = p.offset < firstLength ? std::min(p.length, firstLength - p.offset) : 0;
    add(p.offset, head);
    const uint64_t rest = p.offset + head;
    add(rest - firstLength + secondOffset, p.length - head);
  }
  return out;
}

class GapSearch {
 public:
  // marks: the row marks of the plain file's reading, when already made.
  GapSearch(ByteSource& medium, const JpegGapBounds& bounds, Spent& spent, size_t pieces = 1,
            EntropyRowMarks marks = {})
      : medium_(medium), bounds_(bounds), spent_(spent), pieces_(pieces), marks_(std::move(marks)) {}

  std::optional<JpegSplit> Run(uint64_t plainLength, WalkResult* plainDecode);
  // The search once the plain file's decode is known to break.
  std::optional<JpegSplit> Search(uint64_t plainLength, const WalkResult& decoded);

 private:
  uint64_t Boundary(uint64_t unit) const { return bounds_.phase + unit * bounds_.step; }
  const UnitLook& Look(uint64_t unit);
  std::vector<uint64_t> SplitPoints(uint64_t firstUnit, uint64_t lastUnit, uint64_t brokenAt);
  std::optional<JpegSplit> TryGaps(uint64_t endUnit, int expectedRestart);
  std::optional<JpegSplit> TryLayout(uint64_t firstLength, uint64_t secondOffset);
  int RestartBefore(uint64_t firstUnit, uint64_t endUnit);

  // A join whose whole does not decode but decodes a unit past the join: the pieces after it.
  std::optional<JpegSplit> SearchOn(uint64_t firstLength, uint64_t secondOffset, const WalkResult& walk,
                                    const WalkResult& decoded, EntropyRowMarks marks);
  bool OutOfBounds() const { return spent_.walks >= bounds_.maxWalks || spent_.decodes >= bounds_.maxDecodes; }

  ByteSource& medium_;
  const JpegGapBounds& bounds_;
  Spent& spent_;
  size_t pieces_;  // pieces before the one looked for
  std::unordered_map<uint64_t, UnitLook> looks_;
  std::vector<uint8_t> buffer_;
  EntropyRowMarks marks_;  // the first piece's row starts, read once for every join tried
};

const UnitLook& GapSearch::Look(uint64_t unit) {
  auto it = looks_.find(unit);
  if (it == looks_.end()) it = looks_.emplace(unit, Inspect(medium_, Boundary(unit), bounds_.step, buffer_)).first;
  return it->second;
}

// Units from the end of the last one the first piece may hold, latest first: right before the
// first unit that is not entropy data, and around the row where decoding broke (coded data that
// merely looks right, another picture's, is only caught by the decoder).
std::vector<uint64_t> GapSearch::SplitPoints(uint64_t firstUnit, uint64_t lastUnit, uint64_t brokenAt) {
  std::vector<uint64_t> points;
  auto add = [&](uint64_t end) {
    if (end >= std::max<uint64_t>(firstUnit, 1) && end <= lastUnit && std::find(points.begin(), points.end(), end) == points.end())
      points.push_back(end);
  };
  const int half = std::max(1, bounds_.maxSplitPoints / 2);
  for (int i = 0; i < half && lastUnit >= uint64_t(i); ++i) add(lastUnit - uint64_t(i));
  const uint64_t brokenUnit = brokenAt > bounds_.phase ? (brokenAt - bounds_.phase) / bounds_.step : 0;
  for (int i = 0; i < half && brokenUnit + 1 >= uint64_t(i); ++i) add(brokenUnit + 1 - uint64_t(i));
  return points;
}

// The number of the last restart marker in the units before endUnit, -1 for none.
int GapSearch::RestartBefore(uint64_t firstUnit, uint64_t endUnit) {
  for (uint64_t unit = endUnit; unit > firstUnit; --unit)
    if (const int r = Look(unit - 1).lastRestart; r >= 0) return r;
  return -1;
}

std::optional<JpegSplit> GapSearch::TryLayout(uint64_t firstLength, uint64_t secondOffset) {
  if (spent_.walks >= bounds_.maxWalks) return std::nullopt;
  ++spent_.walks;
  SplicedByteSource spliced(medium_, firstLength, secondOffset, kPictureLimit);
  // Another file's data (another picture's entropy data looks just as right unit by unit) breaks
  // the stream in the row that joins the pieces: read symbol by symbol, that costs no decode.
  if (const EntropyPass pass = ReadEntropyData(spliced, {.bound = firstLength, .from = &marks_, .sameTo = firstLength});
      pass.outcome == EntropyPass::Outcome::BadRow && pass.offset <= firstLength)
    return std::nullopt;
  const WalkResult walk = WalkJpeg(spliced);
  // A walk that breaks within a unit of the join has no piece of this picture after it.
  const bool more = pieces_ + 1 < JpegSplit::kMaxPieces && walk.length >= firstLength + bounds_.step;
  if ((!walk.ok() && !more) || walk.length <= firstLength || spent_.decodes >= bounds_.maxDecodes) return std::nullopt;
  ++spent_.decodes;
  SplicedByteSource whole(medium_, firstLength, secondOffset, walk.length);
  // Read on from the first piece's row marks: its bytes were read once already.
  const EntropyReading resume{.from = &marks_, .sameTo = firstLength};
  const JpegSplit split{firstLength, secondOffset, walk.length,
                        {{0, firstLength}, {secondOffset, walk.length - firstLength}}};
  // Without a piece after this one, only whether the whole decodes counts.
  if (!more) return JpegDecodesWhole(whole, resume) ? std::optional(split) : std::nullopt;
  // The reading keeps the joined file's row marks, for the search of the piece after this one.
  EntropyRowMarks joined = marks_.Upto(firstLength);
  // The search on from this join looks at its break only unit by unit.
  const WalkResult decoded = DecodeJpegToUnit(whole, {.keep = &joined, .from = &marks_, .sameTo = firstLength},
                                              bounds_.phase, bounds_.step);
  if (walk.ok() && decoded.ok()) return split;
  return SearchOn(firstLength, secondOffset, walk, decoded, std::move(joined));
}

std::optional<JpegSplit> GapSearch::SearchOn(uint64_t firstLength, uint64_t secondOffset, const WalkResult& walk,
                                             const WalkResult& decoded, EntropyRowMarks marks) {
  if (decoded.outcome != WalkResult::Outcome::Broken || decoded.length < firstLength + bounds_.step) return std::nullopt;
  SplicedByteSource joined(medium_, firstLength, secondOffset, kPictureLimit);
  auto rest = GapSearch(joined, bounds_, spent_, pieces_ + 1, std::move(marks)).Search(walk.length, decoded);
  if (!rest) return std::nullopt;
  rest->pieces = ThroughSplice(rest->pieces, firstLength, secondOffset);
  if (rest->pieces.size() < 2) return std::nullopt;
  rest->firstLength = rest->pieces[0].length;
  rest->secondOffset = rest->pieces[1].offset;
  return rest;
}

std::optional<JpegSplit> GapSearch::TryGaps(uint64_t endUnit, int expectedRestart) {
  const uint64_t units = bounds_.maxGap / bounds_.step;
  for (uint64_t gap = 1; gap <= units; ++gap) {
    if (OutOfBounds()) break;
    const uint64_t unit = endUnit + gap;
    if (Boundary(unit) >= medium_.Limit()) break;
    const UnitLook& look = Look(unit);
    if (!look.entropy) continue;
    if (expectedRestart >= 0 && look.firstRestart >= 0 && look.firstRestart != expectedRestart) continue;
    if (auto split = TryLayout(Boundary(endUnit), Boundary(unit))) return split;
  }
  return std::nullopt;
}

std::optional<JpegSplit> GapSearch::Run(uint64_t plainLength, WalkResult* plainDecode) {
  if (!GapSearchRuns(bounds_) || plainLength == 0) return std::nullopt;
  SplicedByteSource plain(medium_, plainLength, plainLength, plainLength);
  const WalkResult decoded = DecodeJpegKeeping(plain, marks_);
  if (plainDecode) *plainDecode = decoded;
  if (decoded.outcome != WalkResult::Outcome::Broken) return std::nullopt;
  return Search(plainLength, decoded);
}

std::optional<JpegSplit> GapSearch::Search(uint64_t plainLength, const WalkResult& decoded) {
  SplicedByteSource plain(medium_, plainLength, plainLength, plainLength);
  const auto scan = FirstScan(medium_, plainLength);
  if (!scan || Boundary(0) > plainLength) return std::nullopt;
  // The plain file's decode, or the join's, read it already: the same bytes need not be read again.
  if (marks_.empty()) ReadEntropyData(plain, {.keep = &marks_});
  // The whole units of entropy data the first piece may hold: from the unit after the scan's start
  // to the first that does not look like entropy data (or the carved length).
  const uint64_t firstUnit = scan->offset > bounds_.phase ? (scan->offset - bounds_.phase) / bounds_.step + 1 : 0;
  uint64_t lastUnit = firstUnit;
  while (Boundary(lastUnit + 1) <= plainLength && Look(lastUnit).entropy) ++lastUnit;
  for (uint64_t end : SplitPoints(firstUnit, lastUnit, decoded.length)) {
    int restart = scan->restarts ? RestartBefore(firstUnit, end) : -1;
    if (restart >= 0) restart = (restart + 1) % 8;
    if (auto split = TryGaps(end, restart)) return split;
    if (OutOfBounds()) break;
  }
  return std::nullopt;
}

}  // namespace

bool GapSearchRuns(const JpegGapBounds& bounds) { return bounds.step != 0 && bounds.step <= kMaxStep; }

std::optional<JpegSplit> FindJpegContinuation(ByteSource& medium, uint64_t plainLength,
                                              const JpegGapBounds& bounds, WalkResult* plainDecode) {
  Spent spent;
  return GapSearch(medium, bounds, spent).Run(plainLength, plainDecode);
}

}  // namespace salvora
