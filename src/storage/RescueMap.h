#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// What is known of every byte of an imaging run, in GNU ddrescue's mapfile terms, so that a run
// can be resumed (by this program or by ddrescue) and a scan of the image knows which parts of it
// are zeros standing in for unreadable sectors. Positions are byte offsets in the image.
namespace salvora {

namespace rescue {
inline constexpr char kNonTried = '?';
inline constexpr char kNonTrimmed = '*';
inline constexpr char kNonScraped = '/';
inline constexpr char kBad = '-';
inline constexpr char kFinished = '+';
}  // namespace rescue

struct RescueBlock {
  uint64_t pos = 0;
  uint64_t size = 0;
  char status = rescue::kNonTried;
  uint64_t End() const { return pos + size; }
};

class RescueMap {
 public:
  // A map of size bytes, all non-tried.
  void Reset(uint64_t size);
  // Marks [pos, pos + size) (clipped to the map) with status; equal neighbours merge.
  void Mark(uint64_t pos, uint64_t size, char status);
  // The first block at or after from whose status is status; false when there is none.
  bool FindFrom(uint64_t from, char status, RescueBlock& block) const;
  // Grows the map to size bytes with non-tried space (a map written for a shorter domain).
  void Extend(uint64_t size);

  std::vector<RescueBlock> Blocks() const;
  uint64_t Size() const { return size_; }
  uint64_t BytesWith(char status) const;
  // Bytes and separate areas not yet read well: bad, non-trimmed and non-scraped.
  uint64_t ErrorBytes() const;
  size_t ErrorAreas() const;
  // Every area not finished, as [start, end) byte ranges.
  std::vector<std::pair<uint64_t, uint64_t>> UnreadableRanges() const;

  uint64_t currentPos = 0;
  char currentStatus = rescue::kNonTried;  // '?', '*', '/', '-' or '+' for the phase under way
  int currentPass = 1;

  // The mapfile text; commandLine goes into its heading comment.
  std::string Format(const std::string& commandLine) const;
  // Reads mapfile text. Blocks must follow each other from 0 with known status characters.
  // false with a one-line reason in error.
  static bool Parse(std::string_view text, RescueMap& map, std::string& error);

 private:
  static bool IsError(char status) {
    return status == rescue::kBad || status == rescue::kNonTrimmed || status == rescue::kNonScraped;
  }
  void SplitAt(uint64_t pos);

  std::map<uint64_t, std::pair<uint64_t, char>> blocks_;  // start -> (size, status)
  uint64_t size_ = 0;
};

// Loads a mapfile (at most 64 MiB). 0, a platform error, or kInvalidParameter with the reason.
int LoadRescueMap(const std::string& path, RescueMap& map, std::string& error);
// Replaces the mapfile at path in one step (temporary file, sync, rename).
int SaveRescueMap(const std::string& path, const RescueMap& map, const std::string& commandLine);

}  // namespace salvora
